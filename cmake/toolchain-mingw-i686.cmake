# Cross-compiles the 32-bit x86 Windows build with MinGW-w64 and runs its
# tests under Wine in a throwaway prefix inside the build directory.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(_triple i686-w64-mingw32)
# The win32 thread model needs no winpthread at all, not even statically.
find_program(CMAKE_CXX_COMPILER NAMES ${_triple}-g++-win32 ${_triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_triple}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(COMLOOKUP_WINE_ENV ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEARCH=win32
                       WINEDEBUG=-all LC_ALL=C)
set(CMAKE_CROSSCOMPILING_EMULATOR ${COMLOOKUP_WINE_ENV} wine)
