# The release archive of a Windows build: `cpack` in the build folder makes
# velmorin-VERSION-win32.zip (or -win64) from what `cmake --install` installs.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME velmorin)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Capitalises the first letter of every word of a byte string")
  # CPack would call every MinGW build win32; only Microsoft's 64-bit compiler gets win64.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
  include(CPack)
endif()
