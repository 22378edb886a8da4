# i686 Windows with MinGW-w64, run under 32-bit Wine.
# usage: cmake --preset win32
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORIN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
