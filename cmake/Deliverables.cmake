# How the two deliverables are compiled and linked on each target.
#
# Windows: freestanding PE files. No C or C++ run-time start-up and no
# run-time DLLs; the entry points are the system's own functions, and the
# imports come from the system DLLs alone.
# Linux: ordinary ELF files on the stand-in library, with hidden symbols so
# that each module keeps its own copy of the run-time's state.

set(VELMORIN_CODE_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-threadsafe-statics -Wall -Wextra)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VELMORIN_DECORATE_PREFIX "_")
    set(VELMORIN_LIBRARY_ENTRY "_LibraryEntry@12")
    set(VELMORIN_PROGRAM_ENTRY "_ProgramEntry@0")
    set(VELMORIN_DEF ${CMAKE_SOURCE_DIR}/library/velmorin32.def)
  else()
    set(VELMORIN_LIBRARY_ENTRY "LibraryEntry")
    set(VELMORIN_PROGRAM_ENTRY "ProgramEntry")
    set(VELMORIN_DEF ${CMAKE_SOURCE_DIR}/library/velmorin64.def)
  endif()
  set(VELMORIN_SYSTEM_LIBS oleaut32 ole32 user32 kernel32 gcc)
endif()

# Compile options and link rules for one deliverable.
function(velmorin_deliverable target entry)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${VELMORIN_CODE_FLAGS})
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/runtime/freestanding.cpp)
    target_compile_options(${target} PRIVATE -ffreestanding -fno-stack-protector)
    target_link_options(${target} PRIVATE -nostdlib -s -Wl,-e,${entry} -Wl,--fatal-warnings
                        -Wl,--no-insert-timestamp)
    target_link_libraries(${target} PRIVATE ${VELMORIN_SYSTEM_LIBS})
  else()
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON)
    target_link_libraries(${target} PRIVATE winstandin)
    # Bind every import when loaded, as the Windows loader does.
    target_link_options(${target} PRIVATE -Wl,-z,now -Wl,--no-undefined)
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_OUT}
                                             LIBRARY_OUTPUT_DIRECTORY ${VELMORIN_OUT}
                                             ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
endfunction()
