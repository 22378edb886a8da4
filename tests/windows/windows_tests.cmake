# The tests only the Windows builds have: the built binaries as the loader
# and a host see them, the stack guard, reproducible release archives, a
# host walking the stack through the library, and the limits of 32-bit Wine
# under qemu. Included from this folder's parent's list.

add_test(NAME built_binaries_layout
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_built_binaries.py
                 ${CMAKE_OBJDUMP} ${VELMORIN_PDBUTIL} ${PROJECT_VERSION} $<TARGET_FILE:velmorin> $<TARGET_FILE:demo>
                 $<TARGET_FILE:velmorin_filter>)

# A program built as the deliverables are, overrunning a stack buffer.
add_executable(stack_guard_probe windows/stack_guard_probe.cpp)
velmorin_deliverable(stack_guard_probe "${VELMORIN_PROGRAM_ENTRY}")
set_target_properties(stack_guard_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
add_test(NAME stack_guard_ends_an_overrun
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/windows/stack_guard_test.py
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:stack_guard_probe>)
set_tests_properties(stack_guard_ends_an_overrun PROPERTIES TIMEOUT 600)

# Two builds in two folders give the same release and symbols archives.
add_test(NAME release_archives_reproducible
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/windows/reproducible_release_test.py
                 ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND} ${CMAKE_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE}
                 velmorin-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set_tests_properties(release_archives_reproducible PROPERTIES TIMEOUT 1200)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # A host walking the stack from inside the built library back to itself.
  add_executable(unwind_test windows/unwind_test.cpp)
  target_include_directories(unwind_test PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(unwind_test PRIVATE oleaut32 kernel32)
  target_link_options(unwind_test PRIVATE -static)
  set_target_properties(unwind_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
  add_dependencies(unwind_test velmorin)
  add_test(NAME unwind_through_library COMMAND unwind_test WORKING_DIRECTORY ${VELMORIN_TESTS_OUT})
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # PLATFORM-LIMIT(win32): where 32-bit Wine runs under qemu-i386 user
  # emulation (support/run_32bit.py tells when the test runs), qemu dies
  # ("uncaught target signal 11") as soon as two guest threads run at once,
  # even when they only call SysAllocStringByteLen and SysFreeString. The
  # many-thread test then runs one thread; elsewhere (win32 too where the
  # kernel runs 32-bit programs) it runs eight. For the same reason the
  # shared tests name their table rows in their messages instead of
  # SCOPED_TRACE, which on Windows starts a watcher thread beside the test's
  # own. A skipped or failed test makes GoogleTest on Windows start a watcher
  # thread, after which the next test dies or hangs there in the same way; so
  # there the tests that skip themselves on Wine (SKIP_ON_WINE) are left out
  # by name instead of skipping.
  set(wine_departures
      ConsoleApiTest.FillStartingOutsideTheBufferFillsNothing
      ConsoleApiTest.InvertedRegionOrOriginOutsideTheCellsIsRefusedAndChangesNothing
      ConsoleApiTest.BlockWriteLeftOfTheBufferWritesTheOverlap
      ConsoleApiTest.ScrollOfARectanglePartlyOutsideTheBufferIsClipped
      ConsoleApiTest.ScrollFillOfZeroMeansASpaceInTheBuffersAttributes
      ConsoleApiTest.BufferSidesOf32767AndUnknownOutputModeBitsAreRefused
      ConsoleApiTest.AnInputModeWithEchoButNoLinesIsAppliedAndStillReportedWrong
      ConsoleApiTest.ClosingTheLastHandleToTheActiveBufferBringsBackTheBufferActiveBeforeIt
      ConsoleApiTest.AMouseMoveWrittenAloneAfterAMouseMoveOnlyMovesIt
      ConsoleApiTest.CtrlCWrittenWithProcessedInputOnIsTheProcessesCtrlCAndIsNotQueued
      ScreenTest.ClearingABufferNarrowerThanItsSpacesEndsWithTheCursorsPausesBackUp)
  list(JOIN wine_departures ":" wine_departures)
  set_target_properties(unit_tests PROPERTIES
                        QEMU_LIMITS "VELMORIN_STRESS_THREADS=1;GTEST_FILTER=-${wine_departures}")
endif()

# A crash from the field: a host makes VELMORIN fault and writes a minidump;
# a second program names the faulting function, file and line through
# dbghelp, from the release and symbols archives unpacked one over the other.
add_executable(crash_host windows/crash_host.cpp)
add_executable(dump_reader windows/dump_reader.cpp)
foreach(program crash_host dump_reader)
  target_include_directories(${program} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${program} PRIVATE dbghelp kernel32)
  target_link_options(${program} PRIVATE -static)
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
endforeach()
target_compile_definitions(crash_host PRIVATE VELMORIN_NO_STRING_ALLOCATOR)
target_link_options(crash_host PRIVATE -municode)
# PLATFORM-LIMIT(win32): Wine's 32-bit MiniDumpWriteDump fails (see the
# test): there the reported fault is named without a dump.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(dump_limit --no-32bit-dump)
endif()
add_test(NAME crash_dump_symbolised
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/windows/crash_dump_test.py ${dump_limit}
                 ${CMAKE_CROSSCOMPILING_EMULATOR} ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 $<TARGET_FILE:crash_host> $<TARGET_FILE:dump_reader> ${VELMORIN_LLVM_BIN}/llvm-symbolizer
                 velmorin-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set_tests_properties(crash_dump_symbolised PROPERTIES TIMEOUT 900)
