# The symbols file of one shared library, from the names it exports: every
# defined global or weak name of its dynamic symbol table, so that the file
# follows the library's export list. Each name gets the version it is built
# at as the least one a program linked against it needs: always enough, as
# no name is given an earlier version than it has proved to exist in.
# usage: cmake -DREADELF=... -DLIBRARY=file -DSONAME=libx.so.1 -DPACKAGE=libx1
#              -DDEV_PACKAGE=libx-dev -DVERSION=1.0.0 -DOUT=symbols -P DebianSymbols.cmake
foreach(var READELF LIBRARY SONAME PACKAGE DEV_PACKAGE VERSION OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "DebianSymbols.cmake: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${READELF} --dyn-syms --wide ${LIBRARY}
                OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "readelf could not read ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${table}")
set(names)
foreach(line IN LISTS lines)
  # Num: Value Size Type Bind Vis Ndx Name
  if(line MATCHES "^ *[0-9]+: +[0-9a-f]+ +[0-9]+ +(FUNC|OBJECT|TLS|IFUNC|NOTYPE) +(GLOBAL|WEAK) +(DEFAULT|PROTECTED) +([0-9]+|ABS) +([^ ]+)$")
    set(name ${CMAKE_MATCH_5})
    if(name MATCHES "^([^@]+)@@?(.+)$")
      list(APPEND names "${CMAKE_MATCH_1}@${CMAKE_MATCH_2}")
    else()
      list(APPEND names "${name}@Base")
    endif()
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "${LIBRARY} exports nothing")
endif()
list(REMOVE_DUPLICATES names)
list(SORT names)
set(text "${SONAME} ${PACKAGE} #MINVER#\n* Build-Depends-Package: ${DEV_PACKAGE}\n")
foreach(name IN LISTS names)
  string(APPEND text " ${name} ${VERSION}\n")
endforeach()
file(WRITE ${OUT}.new "${text}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
