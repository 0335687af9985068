# The FLAC reader's Windows test: flac_reader_test links the reader directly
# and reads the files that make_flac_files.py writes (flac, metaflac and
# mutagen) before it runs.
sheetwalk_test_files(flac_files /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/data/make_flac_files.py)
target_link_libraries(flac_reader_test PRIVATE sw_tags)
set_tests_properties(flac_reader_test PROPERTIES
  FIXTURES_REQUIRED flac_files
  ENVIRONMENT "${wine_environment};SHEETWALK_FLAC_FILES=${flac_files}")
