# How the two deliverables are compiled and linked on each target.
#
# Windows: freestanding PE files. No C or C++ run-time start-up and no
# run-time DLLs; the entry points are the system's own functions, and the
# imports come from the system DLLs alone. They still carry what hosts,
# debuggers and installers read: unwind data, the loader's safety flags, a
# version resource, stack protection, Control Flow Guard and PDB files.
# Linux: ordinary ELF files on the stand-in library, with hidden symbols so
# that each module keeps its own copy of the run-time's state.

set(VELMORIN_CODE_FLAGS -fno-exceptions -fno-rtti -fno-threadsafe-statics -Wall -Wextra)
# The x86-64 Windows ABI wants a function-table entry for every frame, or no
# exception, debugger or profiler in the host process can walk through ours;
# there the tables are the system's own (.pdata/.xdata), needing no run-time.
if(NOT (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8))
  list(APPEND VELMORIN_CODE_FLAGS -fno-asynchronous-unwind-tables)
endif()

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

  # What both PE files declare to the loader: relocatable, non-executable
  # data, Control Flow Guard, Windows Vista (6.0) as the oldest system,
  # image version 1.0; on x86-64 a 64-bit ASLR range and compatibility with
  # CET shadow stacks (Windows has none for 32-bit processes), on i686 no
  # structured exception handlers (the code registers none, so there is no
  # table of them to check). The imports and resources are read-only. The
  # time stamp is a hash of the image (/Brepro), so that one commit always
  # gives the same file and symbol stores tell two releases apart; the
  # checksum is filled in (/release). The PDB file lies beside the binary
  # and the CodeView record names it by file name alone.
  set(VELMORIN_PE_LINK_OPTIONS -Wl,--dynamicbase -Wl,--nxcompat -Wl,--guard-cf
      -Wl,--major-os-version,6 -Wl,--minor-os-version,0
      -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0
      -Wl,--gc-sections -Wl,-Xlink=-version:1.0 -Wl,-Xlink=-Brepro -Wl,-Xlink=-release
      -Wl,--pdb= -Wl,-Xlink=-pdbaltpath:%_PDB% -Wl,-Xlink=-pdbsourcepath:/velmorin-build)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND VELMORIN_PE_LINK_OPTIONS -Wl,--high-entropy-va -Wl,-Xlink=-cetcompat)
  else()
    list(APPEND VELMORIN_PE_LINK_OPTIONS -Wl,--no-seh)
  endif()
  # Stack buffers guarded as Microsoft's compiler does by default, against
  # the load configuration's cookie (runtime/load_config.cpp); indirect calls
  # checked by Control Flow Guard; CodeView debug information for the PDB,
  # with the build's folders and command lines left out of it, so that any
  # two builds of one commit give the same bytes (a relative compilation
  # folder keeps the objects' names relative too).
  # Each function in a section of its own, so that the linker can leave out
  # the string operations a deliverable never calls.
  set(VELMORIN_PE_CODE_FLAGS -ffreestanding -fstack-protector-strong -mguard=cf -ffunction-sections
      -g -gcodeview -gno-codeview-command-line -fdebug-compilation-dir=.
      -ffile-prefix-map=${CMAKE_SOURCE_DIR}=velmorin -ffile-prefix-map=${CMAKE_BINARY_DIR}=velmorin-build)
  # clang leaves out the x86-64 function tables of code built without
  # exceptions unless told.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND VELMORIN_PE_CODE_FLAGS -funwind-tables)
  endif()
endif()

# The version resource of a Windows deliverable, and for a program its
# manifest, compiled with the MinGW resource compiler and linked in.
function(velmorin_version_resource target)
  get_target_property(type ${target} TYPE)
  set(VELMORIN_RC_TARGET ${target})
  # A target may say what it is (property VELMORIN_DESCRIPTION); a program
  # that does not is the demonstration program.
  get_target_property(description ${target} VELMORIN_DESCRIPTION)
  if(type STREQUAL "EXECUTABLE")
    set(VELMORIN_RC_FILETYPE "0x1  // VFT_APP")
    set(VELMORIN_RC_DESCRIPTION "velmorin demonstration program")
    # 1 and 24: the manifest a process is created with (RT_MANIFEST).
    set(VELMORIN_RC_MANIFEST "1 24 \"${CMAKE_SOURCE_DIR}/resources/program.manifest\"")
  else()
    set(VELMORIN_RC_FILETYPE "0x2  // VFT_DLL")
    set(VELMORIN_RC_DESCRIPTION "velmorin library: capitalises the first letter of every word")
    set(VELMORIN_RC_MANIFEST "")
  endif()
  if(description)
    set(VELMORIN_RC_DESCRIPTION "${description}")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/resources)
  configure_file(${CMAKE_SOURCE_DIR}/resources/version.rc.in ${dir}/${target}.rc.in @ONLY)
  file(GENERATE OUTPUT ${dir}/${target}.rc INPUT ${dir}/${target}.rc.in)
  add_custom_command(
    OUTPUT ${dir}/${target}.res.o
    COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff -i ${dir}/${target}.rc
            -o ${dir}/${target}.res.o
    DEPENDS ${dir}/${target}.rc ${CMAKE_SOURCE_DIR}/resources/program.manifest
    COMMENT "Version resource of ${target}")
  target_sources(${target} PRIVATE ${dir}/${target}.res.o)
endfunction()

# Compile options and link rules for one deliverable.
function(velmorin_deliverable target entry)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${VELMORIN_CODE_FLAGS})
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/runtime/freestanding.cpp
                                     ${CMAKE_SOURCE_DIR}/runtime/stack_guard.cpp
                                     ${CMAKE_SOURCE_DIR}/runtime/load_config.cpp)
    target_compile_options(${target} PRIVATE ${VELMORIN_PE_CODE_FLAGS})
    target_compile_definitions(${target} PRIVATE VELMORIN_OWN_STACK_GUARD)
    # The PDB records the linker's command line and the paths of the
    # libraries it read: the system's own folders (--sysroot=/usr, where
    # the C++ library's thread model does not matter), no build folder.
    target_link_options(${target} PRIVATE -nostdlib -s -Wl,-e,${entry} -Wl,--fatal-warnings --sysroot=/usr
                        -Wno-unused-command-line-argument ${VELMORIN_PE_LINK_OPTIONS})
    # A library carries the Windows (GUI) subsystem, as Microsoft's linker
    # gives it; a program says console.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -Wl,--subsystem,console:6.0 -Wl,--tsaware)
    else()
      target_link_options(${target} PRIVATE -Wl,--subsystem,windows:6.0)
    endif()
    target_link_libraries(${target} PRIVATE ${VELMORIN_SYSTEM_LIBS})
    # A target may name its PDB (property VELMORIN_PDB_NAME) where the
    # linker's choice, the output's stem, would clash with another's in a
    # folder of Windows, which ignores case.
    get_target_property(pdb ${target} VELMORIN_PDB_NAME)
    if(pdb)
      # By a relative path, as the PDB records the linker's command line.
      file(RELATIVE_PATH out ${CMAKE_BINARY_DIR} ${VELMORIN_OUT})
      target_link_options(${target} PRIVATE -Wl,--pdb=${out}/${pdb})
    endif()
    velmorin_version_resource(${target})
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
