# The `release` target of the 32-bit build: what a player's user downloads.
#   dist/Sheetwalk-<version>.zip        gen_Sheetwalk.dll, libFLAC.dll and its
#                                       licence, uchardet's licence, the user guide,
#                                       sheetwalk-inspect.exe
#   dist/Sheetwalk-<version>-setup.exe  the installer, made from the same files
# <version> is the short version users see (0.8 for 0.8.0.0); plugin/
# CMakeLists.txt derives it from the project version.
# zip and makensis (Debian's zip and nsis) are checked for when it runs.
set(SHEETWALK_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
add_custom_target(release
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-libflac-dll.sh i686 ${CMAKE_BINARY_DIR}/bin
  COMMAND ${PROJECT_SOURCE_DIR}/packaging/make-release.sh
    --version ${SHEETWALK_VERSION_SHORT}
    --file-version ${SHEETWALK_VERSION_DOTS}
    --plugin $<TARGET_FILE:gen_Sheetwalk>
    --inspector $<TARGET_FILE:sheetwalk-inspect>
    --libflac-dir ${CMAKE_BINARY_DIR}/bin
    --uchardet-licence ${SHEETWALK_UCHARDET_LICENCE}
    --work ${CMAKE_BINARY_DIR}/release
    --dist ${SHEETWALK_DIST_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL
  VERBATIM
)
add_dependencies(release gen_Sheetwalk sheetwalk-inspect)
