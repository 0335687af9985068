# slow_storage_test: the plug-in on slow storage. The test process, and no
# other, preloads slow_storage.so, a Linux library that delays the C
# library's file calls of Wine under the test folder: 100 ms each, 5 s under
# gone-away. The library is built for this build's Wine loader by the
# machine's own gcc: x86_64 for 64-bit Wine, i386 (gcc-multilib) for 32-bit
# Wine. The test times the player's thread, so it runs alone.
find_program(SHEETWALK_HOST_CC NAMES gcc cc)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(slow_storage_arch -m64)
else()
  set(slow_storage_arch -m32)
endif()
set(slow_storage_source ${CMAKE_CURRENT_LIST_DIR}/slow_storage/slow_storage.c)
set(slow_storage_library ${CMAKE_CURRENT_BINARY_DIR}/slow_storage.so)
set(slow_storage_flags ${slow_storage_arch} -O2 -Wall -Wextra -fPIC -shared -fvisibility=hidden -U_FORTIFY_SOURCE)

# Whether gcc builds a library of that width with the C library's headers.
set(slow_storage_probe ${CMAKE_CURRENT_BINARY_DIR}/slow_storage_probe)
file(WRITE ${slow_storage_probe}.c "#include <dlfcn.h>\n#include <fcntl.h>\nint probe;\n")
set(slow_storage_result 1)
if(SHEETWALK_HOST_CC)
  execute_process(COMMAND ${SHEETWALK_HOST_CC} ${slow_storage_flags} -o ${slow_storage_probe}.so ${slow_storage_probe}.c
    RESULT_VARIABLE slow_storage_result OUTPUT_QUIET ERROR_QUIET)
endif()

sheetwalk_test_files(slow_storage_files /bin/bash ${CMAKE_CURRENT_LIST_DIR}/make_slow_storage.sh)
set(slow_storage_log ${CMAKE_CURRENT_BINARY_DIR}/slow_storage_calls.log)
add_test(NAME slow_storage_log_setup COMMAND ${CMAKE_COMMAND} -E rm -f ${slow_storage_log})
set_tests_properties(slow_storage_log_setup PROPERTIES FIXTURES_SETUP slow_storage_files)

if(slow_storage_result EQUAL 0)
  add_custom_command(OUTPUT ${slow_storage_library}
    COMMAND ${SHEETWALK_HOST_CC} ${slow_storage_flags} -o ${slow_storage_library} ${slow_storage_source} -ldl
    DEPENDS ${slow_storage_source}
    COMMENT "Building the slow storage library for Wine (${slow_storage_arch})")
  add_custom_target(slow_storage DEPENDS ${slow_storage_library})
  add_dependencies(slow_storage_test slow_storage)
  set(slow_storage_environment ${wine_environment}
    SHEETWALK_SLOW_FILES=${slow_storage_files}
    LD_PRELOAD=${slow_storage_library}
    SHEETWALK_SLOW_FOLDER=${slow_storage_files}
    SHEETWALK_SLOW_MS=100
    SHEETWALK_HANG_MARK=/gone-away
    SHEETWALK_HANG_MS=5000
    SHEETWALK_SLOW_LOG=${slow_storage_log})
  set(slow_storage_skip)
else()
  # The test reports a skip without the library.
  message(WARNING "gcc cannot build the slow storage library (${slow_storage_arch}; the 32-bit one needs "
                  "gcc-multilib): slow_storage_test will be skipped")
  set(slow_storage_environment ${wine_environment} SHEETWALK_SLOW_FILES=${slow_storage_files})
  set(slow_storage_skip SKIP_REGULAR_EXPRESSION "the slow storage library is not preloaded")
endif()
set_tests_properties(slow_storage_test PROPERTIES
  FIXTURES_REQUIRED slow_storage_files RUN_SERIAL TRUE TIMEOUT 600 ${slow_storage_skip}
  ENVIRONMENT "${slow_storage_environment}")
