# Run by cpack after it has made the release archive: rewrites it so that it
# holds nothing of when or where it was built, and makes the symbols archive
# beside it. Packaging.cmake sets the CPACK_VELMORIN_ variables.
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CPACK_VELMORIN_PYTHON} ${CPACK_VELMORIN_ZIP_SCRIPT} ${CPACK_VELMORIN_EPOCH}
                          rewrite ${archive}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not rewrite ${archive}")
  endif()

  # The archive is still in cpack's work folder; the symbols go straight
  # to where cpack will put it.
  set(folder ${CPACK_PACKAGE_DIRECTORY})
  get_filename_component(name ${archive} NAME_WLE)
  set(members)
  foreach(pair IN LISTS CPACK_VELMORIN_SYMBOLS)
    list(APPEND members "${name}/${pair}")
  endforeach()
  execute_process(COMMAND ${CPACK_VELMORIN_PYTHON} ${CPACK_VELMORIN_ZIP_SCRIPT} ${CPACK_VELMORIN_EPOCH}
                          create ${folder}/${name}-symbols.zip ${members}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not make ${folder}/${name}-symbols.zip")
  endif()
  message(STATUS "velmorin: symbols archive ${folder}/${name}-symbols.zip")
endforeach()
