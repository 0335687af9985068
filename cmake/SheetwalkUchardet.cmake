# The `uchardet` target: the character set detector that reads the code page
# of cue text. Native builds take Debian's libuchardet-dev; the Windows builds
# link the static library that scripts/build-uchardet.sh cross-builds from
# Debian's source package, so the plug-in still imports only system DLLs.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(uchardet_arch i686)
  else()
    set(uchardet_arch x86_64)
  endif()
  set(uchardet_dir ${PROJECT_SOURCE_DIR}/build/uchardet/${uchardet_arch})
  if(NOT EXISTS ${uchardet_dir}/lib/libuchardet.a)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-uchardet.sh ${uchardet_arch}
                    RESULT_VARIABLE uchardet_result)
    if(NOT uchardet_result EQUAL 0)
      message(FATAL_ERROR "scripts/build-uchardet.sh ${uchardet_arch} failed")
    endif()
  endif()
  add_library(uchardet STATIC IMPORTED GLOBAL)
  set_target_properties(uchardet PROPERTIES
    IMPORTED_LOCATION ${uchardet_dir}/lib/libuchardet.a
    INTERFACE_INCLUDE_DIRECTORIES ${uchardet_dir}/include/uchardet)
  set(SHEETWALK_UCHARDET_LICENCE ${uchardet_dir}/COPYING.uchardet)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(UCHARDET REQUIRED IMPORTED_TARGET GLOBAL uchardet)
  add_library(uchardet ALIAS PkgConfig::UCHARDET)
endif()
