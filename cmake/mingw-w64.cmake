# The part the MinGW-w64 toolchain files share: the cross compilers for
# COMLOOKUP_MINGW_TRIPLE, and Wine in a throwaway prefix inside the build
# directory, for COMLOOKUP_WINEARCH, as the emulator the tests run under.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model needs no winpthread at all, not even statically.
find_program(CMAKE_CXX_COMPILER NAMES ${COMLOOKUP_MINGW_TRIPLE}-g++-win32 ${COMLOOKUP_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${COMLOOKUP_MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${COMLOOKUP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# scripts/wine picks the loader for the architecture, and reports the 32-bit
# runs as skipped on a host that cannot run 32-bit programs.
set(COMLOOKUP_WINE_ENV ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
                       WINEARCH=${COMLOOKUP_WINEARCH})
set(COMLOOKUP_WINE ${COMLOOKUP_WINE_ENV} bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${COMLOOKUP_WINE} run)
