# Read by cpack for each generator: the Debian packages are one per
# component; the plain archive is the whole installation in one folder.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  unset(CPACK_COMPONENTS_ALL)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_VELMORIN_ARCHIVE_NAME})
endif()
