# The Linux build's packages: `cpack` in the build folder makes, in
# package/, one Debian package per component (cmake/Install.cmake has the
# table) and the plain release archive velmorin-VERSION-linux-ARCH.tar.gz,
# which holds what `cmake --install` installs.
#
# Each package carries what Debian's policy asks of it: its copyright and
# changelog in /usr/share/doc/PACKAGE/, dependencies found by dpkg-shlibdeps,
# shlibs and symbols files for the libraries (the symbols read from the built
# libraries, so they follow the export lists), and stripped binaries whose
# debug information goes into PACKAGE-dbgsym.

set(VELMORIN_DEBIAN_MAINTAINER "The velmorin developers <velmorin@users.noreply.invalid>"
    CACHE STRING "The Maintainer of the Debian packages")
set(debian ${CMAKE_BINARY_DIR}/debian)

# The changelog's time is the commit's (Packaging.cmake), as for the Windows
# archives; string(TIMESTAMP) reads it from SOURCE_DATE_EPOCH.
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${VELMORIN_EPOCH})
string(TIMESTAMP VELMORIN_DEBIAN_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")

# The licence, indented as a copyright file's paragraph wants it.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^MIT License\n\n" "" licence "${licence}")
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " VELMORIN_LICENSE_TEXT " ${licence}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in ${debian}/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${debian}/changelog @ONLY)
set(manuals velmorin-demo.1 velmorin.1)
foreach(manual IN LISTS manuals)
  configure_file(${CMAKE_SOURCE_DIR}/doc/${manual} ${debian}/${manual} COPYONLY)
endforeach()
# Compressed as Debian does: best, and without the time or name of the input.
foreach(text changelog ${manuals})
  execute_process(COMMAND gzip -9 -n -c ${debian}/${text} OUTPUT_FILE ${debian}/${text}.gz
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${debian}/${text}")
  endif()
endforeach()
list(TRANSFORM manuals APPEND .gz)
list(TRANSFORM manuals PREPEND ${debian}/)
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

# component -> package. A program added to the tools component goes into
# velmorin-tools with nothing more here.
set(VELMORIN_DEBIAN_PACKAGES library=libvelmorin1 standin=libwinstandin1 dev=libvelmorin-dev tools=velmorin-tools)
foreach(pair IN LISTS VELMORIN_DEBIAN_PACKAGES)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 component)
  list(GET pair 1 package)
  string(TOUPPER ${component} COMPONENT)
  list(APPEND CPACK_COMPONENTS_ALL ${component})
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
  # Only the package carries these: a plain installation has its texts in
  # the doc component.
  install(FILES ${debian}/copyright ${debian}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${VELMORIN_DOCS} ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libvelmorin-dev
        COMPONENT dev EXCLUDE_FROM_ALL)
install(FILES ${VELMORIN_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libvelmorin-dev/examples
        COMPONENT dev EXCLUDE_FROM_ALL)

# The symbols file of each library, made again whenever the library is linked.
set(symbols_files)
foreach(pair velmorin=libvelmorin1 winstandin=libwinstandin1)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 target)
  list(GET pair 1 package)
  add_custom_command(OUTPUT ${debian}/${package}/symbols
    COMMAND ${CMAKE_COMMAND} -DREADELF=${CMAKE_READELF} -DLIBRARY=$<TARGET_FILE:${target}>
            -DSONAME=$<TARGET_SONAME_FILE_NAME:${target}> -DPACKAGE=${package} -DDEV_PACKAGE=libvelmorin-dev
            -DVERSION=${PROJECT_VERSION} -DOUT=${debian}/${package}/symbols
            -P ${CMAKE_SOURCE_DIR}/cmake/DebianSymbols.cmake
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/cmake/DebianSymbols.cmake
    COMMENT "Symbols file of ${package}")
  list(APPEND symbols_files ${debian}/${package}/symbols)
endforeach()
add_custom_target(debian_symbols ALL DEPENDS ${symbols_files})
set(triggers ${CMAKE_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${debian}/libvelmorin1/symbols ${triggers})
set(CPACK_DEBIAN_STANDIN_PACKAGE_CONTROL_EXTRA ${debian}/libwinstandin1/symbols ${triggers})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebianScripts.cmake)

# The development files find the libraries in the folder for their
# architecture only where the build installs into /usr (the package preset);
# the linux build keeps lib/, the layout of any other prefix.
if(NOT CMAKE_INSTALL_LIBDIR MATCHES "/")
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/libvelmorin-dev.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME libvelmorin-dev
          COMPONENT dev EXCLUDE_FROM_ALL)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORIN_DEBIAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE velmorin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# dpkg-shlibdeps finds the stand-in here; the packages' own dependencies on
# each other are the components' below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${VELMORIN_OUT})
set(CPACK_COMPONENT_LIBRARY_DEPENDS standin)
set(CPACK_COMPONENT_DEV_DEPENDS library standin)
set(CPACK_COMPONENT_TOOLS_DEPENDS library standin)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_STANDIN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(about "VELMORIN takes a counted 8-bit byte string and returns a new one in which
the first letter a-z of every word is upper case; only a space starts a
word. Strings cross the boundary as strings of the process-wide string
allocator, as byte-string DLLs pass them on Windows.")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "capitalises the first letter of every word of a byte string
${about}

This package holds the shared library libvelmorin.so.${PROJECT_VERSION_MAJOR}.")
set(CPACK_DEBIAN_STANDIN_DESCRIPTION "Windows functions for the velmorin library on Linux
libwinstandin.so.${PROJECT_VERSION_MAJOR} gives libvelmorin and its callers the few Windows
functions they call: the string allocator (SysAllocStringByteLen,
SysStringByteLen, SysFreeString), a console on the terminal, thread-local
slots and a loader that calls a library's entry point. One copy serves a
whole process, so the library and its callers share one allocator.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "capitalises the first letter of every word - development files
${about}

This package holds the header velmorin.h, the development links, the
pkg-config file, the CMake package (find_package(velmorin)), the text
on calling the library and examples in C, C++, C#, Free Pascal, VBA and
Python.")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "shows the velmorin library capitalising a sentence
velmorin-demo clears the terminal, writes the sentence the library made,
and waits for a key.")

# The plain archive: everything `cmake --install` installs, under one folder.
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_VELMORIN_ARCHIVE_NAME velmorin-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/PackageGenerators.cmake)
