# Shared part of the two MinGW-w64 toolchains: clang 19 and LLD 19 for the
# MinGW-w64 target, on MinGW-w64's headers and import libraries. LLVM's
# linker writes PDB files, Control Flow Guard tables and the CET marking,
# which the GNU linker cannot. GoogleTest needs the C++ library of the
# posix thread model; clang's driver would take the highest-sorting GCC
# folder (12-win32), so it is given a small tree of links of its own that
# holds the posix one alone. The deliverables link no run-time at all, so
# the thread model does not reach them.
set(CMAKE_SYSTEM_NAME Windows)
set(VELMORIN_LLVM_BIN /usr/lib/llvm-19/bin)
set(CMAKE_C_COMPILER ${VELMORIN_LLVM_BIN}/clang)
set(CMAKE_CXX_COMPILER ${VELMORIN_LLVM_BIN}/clang++)
set(CMAKE_C_COMPILER_TARGET ${VELMORIN_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VELMORIN_MINGW_TRIPLE})
set(CMAKE_RC_COMPILER ${VELMORIN_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${VELMORIN_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${VELMORIN_MINGW_TRIPLE}-objdump)
set(CMAKE_OBJCOPY ${VELMORIN_MINGW_TRIPLE}-objcopy)
set(VELMORIN_PDBUTIL ${VELMORIN_LLVM_BIN}/llvm-pdbutil)

set(gcc_dir /usr/lib/gcc/${VELMORIN_MINGW_TRIPLE}/12-posix)
if(NOT IS_DIRECTORY ${gcc_dir})
  message(FATAL_ERROR "${gcc_dir} is missing: run scripts/setup.sh for this preset")
endif()
# One tree per build folder (try_compile projects read this file too).
set(sysroot ${CMAKE_BINARY_DIR}/mingw-sysroot)
file(MAKE_DIRECTORY ${sysroot}/lib/gcc/${VELMORIN_MINGW_TRIPLE})
file(CREATE_LINK ${gcc_dir} ${sysroot}/lib/gcc/${VELMORIN_MINGW_TRIPLE}/12 SYMBOLIC)
file(CREATE_LINK /usr/${VELMORIN_MINGW_TRIPLE} ${sysroot}/${VELMORIN_MINGW_TRIPLE} SYMBOLIC)
set(CMAKE_SYSROOT ${sysroot})
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# -pthread: the posix thread model's C++ library needs winpthreads, which
# MinGW-w64's GCC links on its own. Links with -nostdlib get none of it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread")
# CTest runs the .exe files under Wine, inside a pseudo-terminal.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# Every target names the system libraries it imports from.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
