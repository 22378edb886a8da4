# x86-64 Windows with MinGW-w64, run under 64-bit Wine.
# usage: cmake --preset win64
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORIN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
