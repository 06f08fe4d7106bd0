#include "lookup/run_lookup.h"

#ifdef __MINGW32__
// Arguments must reach the lookup exactly as the caller typed them: a query
// such as "USB*" must never be expanded against files in the working
// directory. (MSVC's runtime expands only when setargv.obj is linked.)
extern "C" {
int _dowildcard = 0;
}
#endif

int main(int argc, char** argv) {
    return comlookup::run_lookup(argc, argv);
}
