# Shared part of the two MinGW-w64 toolchains. The -posix compilers are used
# because GoogleTest needs their threads; the deliverables link no run-time
# at all, so the thread model does not reach them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VELMORIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORIN_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${VELMORIN_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${VELMORIN_MINGW_TRIPLE}-objdump)
set(CMAKE_OBJCOPY ${VELMORIN_MINGW_TRIPLE}-objcopy)
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CTest runs the .exe files under Wine, inside a pseudo-terminal.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# Every target names the system libraries it imports from.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
