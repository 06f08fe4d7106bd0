// Stands in for comlookup.exe in the examples' tests: -1 with no words, as
// comlookup answers, and otherwise the status its first word names, so that
// a script's handling of any status can be tried.
#include <cstdlib>

int main(int argc, char** argv) {
    return argc < 2 ? -1 : std::atoi(argv[1]);
}
