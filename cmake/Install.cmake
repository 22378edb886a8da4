# What `cmake --install` puts where: the header, the library (on Windows with
# its import libraries and def file), the program, the licence and the texts
# for callers, the examples, and the CMake package and pkg-config file through
# which other projects find the library.
#
# On Linux each file belongs to one component, and each component to one
# Debian package (cmake/DebianPackages.cmake):
#   library  libvelmorin.so.1                                 libvelmorin1
#   standin  libwinstandin.so.1                               libwinstandin1
#   dev      header, development links, pkg-config, CMake     libvelmorin-dev
#   tools    every program, each under a name of its own      velmorin-tools
#   doc      the texts and examples of a plain installation  (the packages have their own)
include(CMakePackageConfigHelpers)

set(VELMORIN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/velmorin)

# The examples every installation carries, each the file the tests build and run.
set(VELMORIN_EXAMPLES
    ${CMAKE_SOURCE_DIR}/examples/c/capitalise.c
    ${CMAKE_SOURCE_DIR}/examples/cpp/capitalise.cpp
    ${CMAKE_SOURCE_DIR}/examples/csharp/Capitalise.cs
    ${CMAKE_SOURCE_DIR}/examples/csharp/Capitalise.exe.config
    ${CMAKE_SOURCE_DIR}/examples/pascal/capitalise.pas
    ${CMAKE_SOURCE_DIR}/examples/python/capitalise.py
    ${CMAKE_SOURCE_DIR}/examples/vba/Velmorin.bas)

install(FILES ${CMAKE_SOURCE_DIR}/include/velmorin.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
if(WIN32)
  install(TARGETS demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
else()
  # In a system's bin/ a program's name must say whose it is.
  install(PROGRAMS $<TARGET_FILE:demo> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME velmorin-demo COMPONENT tools)
endif()
# The filter goes with the demo: the programs a person runs.
install(TARGETS velmorin_filter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

if(WIN32)
  # The DLL lies beside the program, where the Windows loader looks. The
  # linker's own import library is left out: only those made from the def
  # file bind the undecorated export (library/CMakeLists.txt).
  install(FILES $<TARGET_FILE:velmorin> DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${VELMORIN_OUT}/libvelmorin.dll.a ${VELMORIN_OUT}/velmorin.lib ${VELMORIN_OUT}/VELMORIN.def
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # The release archive is this folder: its texts lie at the top.
  install(FILES ${CMAKE_SOURCE_DIR}/doc/CALLING.txt ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/CHANGELOG.md
          DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/doc/README-archive.txt DESTINATION . RENAME README.txt)
  install(FILES ${VELMORIN_EXAMPLES} DESTINATION examples)
  set(VELMORIN_INSTALLED_LIBRARY ${CMAKE_INSTALL_BINDIR}/VELMORIN.DLL)
  set(VELMORIN_INSTALLED_GNU_IMPLIB ${CMAKE_INSTALL_LIBDIR}/libvelmorin.dll.a)
  set(VELMORIN_INSTALLED_MS_IMPLIB ${CMAKE_INSTALL_LIBDIR}/velmorin.lib)
  set(path_vars VELMORIN_INSTALLED_GNU_IMPLIB VELMORIN_INSTALLED_MS_IMPLIB)
else()
  # The stand-in goes with the library: it is the string allocator callers
  # use, and the library cannot load without it.
  install(TARGETS velmorin LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev)
  install(TARGETS winstandin LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT standin NAMELINK_COMPONENT dev)
  set(VELMORIN_DOCS ${CMAKE_SOURCE_DIR}/doc/CALLING.txt ${CMAKE_SOURCE_DIR}/README.md)
  install(FILES ${VELMORIN_DOCS} ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/CHANGELOG.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT doc)
  install(FILES ${VELMORIN_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT doc)
  set(VELMORIN_INSTALLED_LIBRARY
      ${CMAKE_INSTALL_LIBDIR}/libvelmorin.so.${PROJECT_VERSION})
  set(VELMORIN_INSTALLED_STANDIN
      ${CMAKE_INSTALL_LIBDIR}/libwinstandin.so.${PROJECT_VERSION})
  set(path_vars VELMORIN_INSTALLED_STANDIN)

  # pkg-config finds the prefix from where the file lies, so an installation
  # can be moved or unpacked anywhere.
  file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" VELMORIN_PC_TO_PREFIX "${pc_to_prefix}")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/velmorin.pc.in ${CMAKE_BINARY_DIR}/velmorin.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/velmorin.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

configure_package_config_file(
    ${CMAKE_SOURCE_DIR}/cmake/velmorinConfig.cmake.in ${CMAKE_BINARY_DIR}/velmorinConfig.cmake
    INSTALL_DESTINATION ${VELMORIN_PACKAGE_DIR}
    PATH_VARS CMAKE_INSTALL_INCLUDEDIR VELMORIN_INSTALLED_LIBRARY ${path_vars})
# The version file also turns away a project of the other word size.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/velmorinConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/velmorinConfig.cmake ${CMAKE_BINARY_DIR}/velmorinConfigVersion.cmake
        DESTINATION ${VELMORIN_PACKAGE_DIR} COMPONENT dev)

# The Python package's wheel around this build's installed library, into
# out/: `cmake --build --preset P --target wheel`. Debian's own Python has the
# build tools (python3-build); another one first on PATH may not. The wheel is
# made from a stripped installation, so it needs what that installs.
find_program(VELMORIN_WHEEL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(WIN32)
  set(wheel_target $<IF:$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>,win32,win64>)
  set(wheel_libraries velmorin demo)
else()
  set(wheel_target linux)
  set(wheel_libraries velmorin winstandin demo)
endif()
add_custom_target(wheel
    COMMAND ${VELMORIN_WHEEL_PYTHON} ${CMAKE_SOURCE_DIR}/examples/python/make_wheel.py --build ${CMAKE_BINARY_DIR}
            --cmake ${CMAKE_COMMAND} --target ${wheel_target} --dest ${VELMORIN_OUT} --python ${VELMORIN_WHEEL_PYTHON}
    DEPENDS ${wheel_libraries}
    COMMENT "Building the wheel of the Python package velmorin"
    VERBATIM)
