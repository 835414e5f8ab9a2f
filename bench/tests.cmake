# Tests on the benchmark's generated inputs: the documents against the plain
# stdio converter (quick, on 10,000 lines of each kind), and, labelled
# "perf", each program's instructions per line on 200,000 lines of each kind
# against the limits in limits.txt. The scripts exit with 77 when a tool they
# need is missing, which CTest reports as skipped.

if(NOT TARGET bench_generate)
  add_subdirectory(${PROJECT_SOURCE_DIR}/bench ${PROJECT_BINARY_DIR}/bench)
endif()
find_package(Python3 COMPONENTS Interpreter)

# Adds test NAME that runs the script SCRIPT in bench/ with the arguments
# after it, or reports it skipped for the reason WHY when WHY is not empty.
function(add_bench_test name why script)
  if(NOT Python3_Interpreter_FOUND)
    set(why "python3 not found")
  endif()
  if(why)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: ${why}")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED")
  else()
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${script}
      ${ARGN})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

add_bench_test(bench.documents "" documents.py $<TARGET_FILE:bench_generate>
  $<TARGET_FILE:bench_baseline> $<TARGET_FILE:pintrove> $<TARGET_FILE:pathtrove>)

# The limits are counts of g++'s Release build: other compilers and options
# give other counts, and the sanitizers' and a debug build's count nothing
# that a user runs.
set(perf_skipped "")
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(perf_skipped "the limits hold for g++'s build, not ${CMAKE_CXX_COMPILER_ID}'s")
elseif(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  set(perf_skipped "the limits hold for a Release build, not '${CMAKE_BUILD_TYPE}'")
elseif(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(perf_skipped "the limits hold for a build without sanitizers")
endif()
foreach(kind wpt wpt-varied wpt-other plt plt-varied plt-other)
  if(kind MATCHES "^wpt")
    set(program pintrove)
  else()
    set(program pathtrove)
  endif()
  add_bench_test(perf.${program}.${kind} "${perf_skipped}" instructions.py
    $<TARGET_FILE:bench_generate> $<TARGET_FILE:${program}> ${kind}
    ${CMAKE_CURRENT_LIST_DIR}/limits.txt)
  set_tests_properties(perf.${program}.${kind} PROPERTIES LABELS perf)
endforeach()
