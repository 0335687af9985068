# The one version number is the project's (top-level CMakeLists.txt). The
# version resource writes it as "0, 8, 0, 0"; users see it shortened by the
# same rule the plug-in applies to its description (", " to ".", then ".0.0"
# dropped). The plug-in and sheetwalk-inspect.exe carry the same resource,
# each under its own file names.
foreach(part MAJOR MINOR PATCH TWEAK)
  if(NOT PROJECT_VERSION_${part} MATCHES "^[0-9]+$")
    set(PROJECT_VERSION_${part} 0)
  endif()
endforeach()
set(SHEETWALK_COMPANY "Quillmoor")
set(SHEETWALK_PRODUCT "Sheetwalk")
set(SHEETWALK_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
string(REPLACE "," ", " SHEETWALK_VERSION_TEXT "${SHEETWALK_VERSION_COMMAS}")
string(REPLACE "," "." SHEETWALK_VERSION_DOTS "${SHEETWALK_VERSION_COMMAS}")
string(REPLACE ".0.0" "" SHEETWALK_VERSION_SHORT "${SHEETWALK_VERSION_DOTS}")

# sheetwalk_version_resource(<target> <VFT_DLL|VFT_APP> <internal name> <file name> <file description>)
function(sheetwalk_version_resource target file_type internal_name file_name file_description)
  set(SHEETWALK_FILE_TYPE ${file_type})
  set(SHEETWALK_INTERNAL_NAME ${internal_name})
  set(SHEETWALK_FILE_NAME ${file_name})
  set(SHEETWALK_FILE_DESCRIPTION ${file_description})
  configure_file(${PROJECT_SOURCE_DIR}/resources/sheetwalk.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${internal_name}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${internal_name}.rc)
endfunction()
