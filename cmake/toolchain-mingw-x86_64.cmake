# Cross-compiles the same sources for x86-64 Windows, so that the whole Wine
# suite also runs under 64-bit Wine, on hosts that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(COMLOOKUP_MINGW_TRIPLE x86_64-w64-mingw32)
set(COMLOOKUP_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
