# inspect_test: sheetwalk-inspect run as a user runs it, on the cue sources'
# and the cue text files: in the Windows builds under the Wine of the build
# (with the locales that tag_readers.cmake compiles for the ANSI code pages),
# and natively, where tests/unit includes this file.
if(WIN32)
  set(inspect_fixtures cue_sources cue_text_files tag_files)
  set(inspect_environment ENVIRONMENT "${wine_environment}")
  # inspect_launch_test: the Windows inspector started hidden by another
  # program, through CreateProcess.
  add_dependencies(inspect_launch_test sheetwalk-inspect)
  set_tests_properties(inspect_launch_test PROPERTIES FIXTURES_REQUIRED cue_sources
    ENVIRONMENT "${wine_environment};SHEETWALK_CUE_SOURCES=${cue_sources}")
else()
  # No other native test uses these files.
  sheetwalk_test_files(cue_sources /bin/bash ${CMAKE_CURRENT_LIST_DIR}/make_cue_sources.sh)
  sheetwalk_test_files(cue_text_files /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/make_cue_text_files.py)
  set(inspect_fixtures cue_sources cue_text_files)
  set(inspect_environment)
endif()
add_test(NAME inspect_test
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/inspect_test.py $<TARGET_FILE:sheetwalk-inspect>
    ${cue_sources} ${cue_text_files} ${CMAKE_CURRENT_BINARY_DIR}/inspect_scratch ${tag_locales})
set_tests_properties(inspect_test PROPERTIES
  FIXTURES_REQUIRED "${inspect_fixtures}" TIMEOUT 300 ${inspect_environment})
