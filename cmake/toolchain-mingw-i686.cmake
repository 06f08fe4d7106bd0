# Cross-compiles the 32-bit x86 Windows build, the one that ships, and runs
# its tests under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(COMLOOKUP_MINGW_TRIPLE i686-w64-mingw32)
set(COMLOOKUP_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
