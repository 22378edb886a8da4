# Run by cpack after it has made the Debian packages: takes out the
# maintainer scripts cpack writes into a library's package, which do nothing
# but run ldconfig. Each library package asks for ldconfig through dpkg's
# trigger instead (its triggers file), once for all packages installed
# together, as Debian's own library packages do.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not unpack ${package}")
  endif()
  set(changed OFF)
  foreach(script postinst postrm)
    set(file ${tree}/DEBIAN/${script})
    if(EXISTS ${file})
      file(READ ${file} text)
      string(REGEX REPLACE "#![^\n]*\n|set -e\n|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then\n[\t ]*ldconfig\nfi\n|[ \t\n]" ""
             rest "${text}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${package}: ${script} does more than run ldconfig:\n${text}")
      endif()
      file(REMOVE ${file})
      set(changed ON)
    endif()
  endforeach()
  if(changed)
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
                    OUTPUT_QUIET RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-deb could not pack ${package} again")
    endif()
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
