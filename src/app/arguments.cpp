// Arguments must reach the programs exactly as the caller typed them: a query
// such as "USB*" must never be expanded against files in the working
// directory. (MSVC's runtime expands only when setargv.obj is linked.)
#ifdef __MINGW32__
extern "C" {
int _dowildcard = 0;
}
#endif
