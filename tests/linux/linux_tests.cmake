# The tests only the Linux build has: the stand-in in a real terminal and
# with host programs (C, Python) that load the library, and the program
# under hostile conditions, from a shell and under valgrind. Included from
# this folder's parent's list.

# Two libraries, the second depending on the first, for the loader's order
# of thread notifications; the unit tests load them.
foreach(which first second)
  add_library(order_${which} SHARED linux/order_library.cpp)
  target_include_directories(order_${which} PRIVATE ${CMAKE_SOURCE_DIR})
  velmorin_test_library(order_${which})
endforeach()
target_compile_definitions(order_first PRIVATE ORDER_FIRST ORDER_NAME='F')
target_compile_definitions(order_second PRIVATE ORDER_NAME='S')
target_link_libraries(order_second PRIVATE order_first)
add_dependencies(unit_tests order_second)
target_compile_definitions(unit_tests PRIVATE "ORDER_FIRST_LIBRARY=\"$<TARGET_FILE:order_first>\""
                                              "ORDER_SECOND_LIBRARY=\"$<TARGET_FILE:order_second>\"")

# The console functions when memory runs out, through an operator new of
# this program's own that the whole process uses.
add_executable(console_out_of_memory_test linux/console_out_of_memory_test.cpp)
target_include_directories(console_out_of_memory_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(console_out_of_memory_test PRIVATE ${VELMORIN_GTEST})
velmorin_standin_program(console_out_of_memory_test)
set_target_properties(console_out_of_memory_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
add_test(NAME console_out_of_memory COMMAND console_out_of_memory_test)
set_tests_properties(console_out_of_memory PROPERTIES TIMEOUT 300)

# A program that reads the console as the stand-in's programs do, typed at
# through tmux by the terminal key test.
add_executable(key_probe linux/key_probe.cpp)
target_link_libraries(key_probe PRIVATE velmorin_under_test)
velmorin_standin_program(key_probe)
set_target_properties(key_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})

# ThreadSanitizer takes over signal delivery, so a process that re-raises
# SIGINT to end itself no longer ends by that signal; the keys are threads'
# business nowhere, so this test runs on the other Linux builds.
if(NOT VELMORIN_SANITIZER STREQUAL "thread")
  add_test(NAME terminal_keys
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/linux/terminal_keys_test.py
                   $<TARGET_FILE:key_probe>)
  set_tests_properties(terminal_keys PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
add_executable(imports_velmorin linux/imports_velmorin.cpp)
target_include_directories(imports_velmorin PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(imports_velmorin PRIVATE velmorin)
velmorin_standin_program(imports_velmorin)
target_link_options(imports_velmorin PRIVATE -Wl,-z,now)
set_target_properties(imports_velmorin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
# A plain C host whose threads the program-side thread start never sees, and
# whose own functions named like Windows ones all libraries can see.
add_executable(thread_host linux/thread_host.c)
target_include_directories(thread_host PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(thread_host PRIVATE velmorin winstandin)
set_target_properties(thread_host PROPERTIES ENABLE_EXPORTS ON)
set_target_properties(thread_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
add_test(NAME host_threads_release_their_records COMMAND thread_host)
if(NOT VELMORIN_SANITIZER)
  add_test(NAME host_threads_release_their_records_under_valgrind
           COMMAND valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=99
                   $<TARGET_FILE:thread_host>)
endif()
# A host that loads and unloads the library, with its threads alive.
add_executable(reload_host linux/reload_host.c)
target_include_directories(reload_host PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(reload_host PRIVATE ${CMAKE_DL_LIBS} Threads::Threads)
set_target_properties(reload_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
add_test(NAME host_unloads_the_library_while_a_thread_holds_a_record
         COMMAND reload_host $<TARGET_FILE:velmorin> live-thread)
add_test(NAME host_keeps_its_thread_keys_after_many_unloads COMMAND reload_host $<TARGET_FILE:velmorin> rounds)
if(NOT VELMORIN_SANITIZER)
  # Nothing left after many unloads, nor of a thread that outlives one.
  set(valgrind_leaks valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=99)
  add_test(NAME host_keeps_nothing_of_ours_after_unloads_under_valgrind
           COMMAND ${valgrind_leaks} $<TARGET_FILE:reload_host> $<TARGET_FILE:velmorin> rounds 20)
  add_test(NAME host_keeps_nothing_of_a_thread_that_outlives_an_unload_under_valgrind
           COMMAND ${valgrind_leaks} $<TARGET_FILE:reload_host> $<TARGET_FILE:velmorin> live-thread)
endif()
add_test(NAME program_does_not_start_when_attach_fails
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/linux/attach_failure_test.sh $<TARGET_FILE:imports_velmorin>)
# A sanitizer's run-time cannot be loaded into an uninstrumented Python.
if(NOT VELMORIN_SANITIZER)
add_test(NAME library_from_python
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/linux/ctypes_test.py
                 $<TARGET_FILE:winstandin> $<TARGET_FILE:velmorin>)
# The interpreter itself, not a launcher script in front of it.
execute_process(COMMAND ${Python3_EXECUTABLE} -c "import sys; print(sys.executable)"
                OUTPUT_VARIABLE python_itself OUTPUT_STRIP_TRAILING_WHITESPACE)
add_test(NAME library_from_python_under_valgrind
         COMMAND valgrind --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=99
                 ${python_itself} ${CMAKE_CURRENT_SOURCE_DIR}/linux/ctypes_test.py
                 $<TARGET_FILE:winstandin> $<TARGET_FILE:velmorin>)
set_tests_properties(library_from_python_under_valgrind PROPERTIES TIMEOUT 300)
endif()

# The screen operations on the stand-in in a real terminal: what reaches
# it, and that the user's terminal settings come back however it ends.
add_executable(console_probe linux/console_probe.cpp)
target_link_libraries(console_probe PRIVATE velmorin_under_test)
velmorin_standin_program(console_probe)
set_target_properties(console_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORIN_TESTS_OUT})
add_test(NAME terminal_from_python
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/linux/terminal_test.py
                 $<TARGET_FILE:console_probe>
                 $<$<STREQUAL:${VELMORIN_SANITIZER},thread>:--no-signal-endings>)
set_tests_properties(terminal_from_python PROPERTIES TIMEOUT 120)

if(TARGET demo)
  # Signals that end the program are left to the builds whose run-time
  # delivers them as the system does (see terminal_from_python).
  if(NOT VELMORIN_SANITIZER STREQUAL "thread")
    add_test(NAME demo_hostile_conditions
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/hostile_demo.py ${VELMORIN_OUT})
    set_tests_properties(demo_hostile_conditions PROPERTIES TIMEOUT 300)
    # From an interactive bash: what the shell finds after the demo.
    add_test(NAME demo_from_a_shell
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/shell_demo.py ${VELMORIN_OUT})
    set_tests_properties(demo_from_a_shell PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  endif()
  if(NOT VELMORIN_SANITIZER)
    add_test(NAME demo_under_valgrind
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/hostile_demo.py ${VELMORIN_OUT}
                     --valgrind)
    set_tests_properties(demo_under_valgrind PROPERTIES TIMEOUT 300)
  endif()
endif()
