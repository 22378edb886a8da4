# The release archive of a Windows build: `cpack` in the build folder makes
# velmorin-VERSION-win32.zip (or -win64) from what `cmake --install` installs;
# of a Linux build, the Debian packages and a plain archive
# (cmake/DebianPackages.cmake).

# The time the packages hold: the commit's (or SOURCE_DATE_EPOCH), not the build's.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VELMORIN_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE VELMORIN_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_failed)
  if(git_failed OR NOT VELMORIN_EPOCH MATCHES "^[0-9]+$")
    set(VELMORIN_EPOCH 315532800)  # 1980-01-01, the earliest time a zip entry holds
  endif()
endif()

set(CPACK_PACKAGE_NAME velmorin)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
if(NOT WIN32)
  include(cmake/DebianPackages.cmake)
  include(CPack)
else()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Capitalises the first letter of every word of a byte string")
  # CPack would call every MinGW build win32; only Microsoft's 64-bit compiler gets win64.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()

  # Beside each archive, NAME-symbols.zip with the PDB files of its
  # binaries, for reading crash dumps from the field, laid out as the release
  # archive is, so that unpacked over it each PDB lies beside its binary;
  # both archives rewritten
  # so that they hold nothing of when or where they were built: one time for
  # every entry, the commit's (or SOURCE_DATE_EPOCH).
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(CPACK_VELMORIN_EPOCH ${VELMORIN_EPOCH})
  set(CPACK_VELMORIN_PYTHON ${Python3_EXECUTABLE})
  set(CPACK_VELMORIN_ZIP_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/reproducible_zip.py)
  set(CPACK_VELMORIN_SYMBOLS
      "${CMAKE_INSTALL_BINDIR}/VELMORIN.pdb=${VELMORIN_OUT}/VELMORIN.pdb"
      "${CMAKE_INSTALL_BINDIR}/demo.pdb=${VELMORIN_OUT}/demo.pdb"
      "${CMAKE_INSTALL_BINDIR}/velmorin.exe.pdb=${VELMORIN_OUT}/velmorin.exe.pdb")
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/ReleaseArchives.cmake)
  include(CPack)
endif()
