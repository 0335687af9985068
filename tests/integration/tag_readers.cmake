# The tag readers' Windows tests: tag_readers_test links the readers directly
# and runs once per ANSI code page, which Wine takes from the locale. The files
# are the native tests' own, written first by make_tag_files.py; the locales
# are compiled into the build tree, so that Wine also has UTF-8 file names.
set(tag_files ${CMAKE_CURRENT_BINARY_DIR}/tag_files)
set(tag_locales ${CMAKE_CURRENT_BINARY_DIR}/locales)
add_test(NAME tag_files_setup
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/data/make_tag_files.py ${tag_files} --large)
add_test(NAME tag_locales_setup
  COMMAND /bin/sh ${PROJECT_SOURCE_DIR}/tests/data/make_locales.sh ${tag_locales})
set_tests_properties(tag_files_setup tag_locales_setup PROPERTIES FIXTURES_SETUP tag_files)

target_link_libraries(tag_readers_test PRIVATE sw_tags)
set(tag_readers_environment ${wine_environment} SHEETWALK_TAG_FILES=${tag_files} LOCPATH=${tag_locales})
set_tests_properties(tag_readers_test PROPERTIES
  FIXTURES_REQUIRED tag_files
  ENVIRONMENT "${tag_readers_environment};LC_ALL=en_US.UTF-8")
foreach(locale IN ITEMS ru_RU ja_JP)
  add_test(NAME tag_readers_test_${locale} COMMAND tag_readers_test)
  set_tests_properties(tag_readers_test_${locale} PROPERTIES
    FIXTURES_REQUIRED tag_files TIMEOUT 300
    ENVIRONMENT "${tag_readers_environment};LC_ALL=${locale}.UTF-8")
endforeach()
