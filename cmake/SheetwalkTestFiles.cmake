# sheetwalk_test_files(<fixture> <command>...): a ctest fixture of that name
# whose set-up runs <command> <folder> before the tests that require it, so
# that independent writers make their files at test time; <fixture> is then
# the folder.
function(sheetwalk_test_files fixture)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${fixture})
  add_test(NAME ${fixture}_setup COMMAND ${ARGN} ${folder})
  set_tests_properties(${fixture}_setup PROPERTIES FIXTURES_SETUP ${fixture})
  set(${fixture} ${folder} PARENT_SCOPE)
endfunction()
