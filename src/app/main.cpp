#include "lookup/run_lookup.h"

int main(int argc, char** argv) {
    return comlookup::run_lookup(argc, argv);
}
