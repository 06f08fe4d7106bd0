// The floor for timing comlookup.exe: a console program that does nothing,
// built and linked the same way.
int main() {
    return 0;
}
