# Tests that read the programs' work with other tools: the documents with
# GDAL and xmllint, the manual pages with mandoc and man, the installed tree
# with man, the Debian package with lintian. The scripts exit with 77 when a
# tool they need is missing, which CTest reports as skipped.

set(readers_dir ${CMAKE_CURRENT_LIST_DIR}/readers)
set(readers_work ${CMAKE_CURRENT_BINARY_DIR}/readers)

find_package(Python3 COMPONENTS Interpreter)

# Adds test NAME that runs the script SCRIPT with the arguments after it.
function(add_reader_test name script)
  if(Python3_Interpreter_FOUND)
    add_test(NAME ${name}
      COMMAND ${Python3_EXECUTABLE} ${readers_dir}/${script} ${ARGN}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: python3 not found")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED")
  endif()
endfunction()

add_reader_test(readers.man_pages check_man.py
  ${PROJECT_SOURCE_DIR}/man/pintrove.1 ${PROJECT_SOURCE_DIR}/man/pathtrove.1)

add_reader_test(readers.pintrove.example check_readers.py
  wpt $<TARGET_FILE:pintrove> ${readers_work}/pintrove_example --input examples/alps.wpt)
add_reader_test(readers.pathtrove.example check_readers.py
  plt $<TARGET_FILE:pathtrove> ${readers_work}/pathtrove_example --input examples/ridge.plt)
add_reader_test(readers.pintrove.generated check_readers.py
  wpt $<TARGET_FILE:pintrove> ${readers_work}/pintrove_generated --generate 10000 1)
add_reader_test(readers.pathtrove.generated check_readers.py
  plt $<TARGET_FILE:pathtrove> ${readers_work}/pathtrove_generated --generate 10000 2)

add_reader_test(readers.install check_install.py
  ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${readers_work}/install)
add_reader_test(readers.package check_package.py
  ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR} ${readers_work}/package)
# lintian alone takes seconds: a test of its own, on the package made above.
add_reader_test(readers.package.lintian check_package.py --lintian ${readers_work}/package)
set_tests_properties(readers.package PROPERTIES FIXTURES_SETUP package)
set_tests_properties(readers.package.lintian PROPERTIES FIXTURES_REQUIRED package)
