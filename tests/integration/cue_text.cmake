# cue_text_test: the album and composer tags and the decoding of cue files
# beside the audio file, on files that make_cue_text_files.py has wavpack,
# flac, metaflac and Python's codecs write. The code page case runs once per
# ANSI code page, in the locales that tag_readers.cmake compiles; so do the
# samples of the code page corpus.
sheetwalk_test_files(cue_text_files /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/make_cue_text_files.py)
set(cue_text_environment ${wine_environment} SHEETWALK_TEST_FILES=${cue_text_files} LOCPATH=${tag_locales})
set_tests_properties(cue_text_test PROPERTIES
  FIXTURES_REQUIRED "cue_text_files;tag_files"
  ENVIRONMENT "${cue_text_environment};LC_ALL=en_US.UTF-8")
foreach(locale IN ITEMS ru_RU ja_JP)
  add_test(NAME cue_text_test_${locale} COMMAND cue_text_test --gtest_filter=*CodePage*)
  set_tests_properties(cue_text_test_${locale} PROPERTIES
    FIXTURES_REQUIRED "cue_text_files;tag_files" TIMEOUT 300
    ENVIRONMENT "${cue_text_environment};LC_ALL=${locale}.UTF-8")
endforeach()
