# korimo_windows_icon(TARGET [DESCRIPTION TEXT]): gives a Windows executable
# the tool's icon (packaging/icons/korimo.ico, rendered from korimo.svg) and a
# VERSIONINFO resource that carries the project version, shown by Explorer in
# the file's properties. DESCRIPTION is the file description (default: the
# product name). Does nothing on other platforms.
#
# The resource script is generated from windows-icon.rc.in; mingw-w64's windres
# and MSVC's rc both compile it.
set(KORIMO_WINDOWS_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows-icon.rc.in)
if(WIN32)
  enable_language(RC)
endif()

function(korimo_windows_icon target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
  set(KORIMO_RC_DESCRIPTION "Korimo configuration tool")
  if(ARG_DESCRIPTION)
    set(KORIMO_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(KORIMO_RC_NAME "${name}")
  set(KORIMO_RC_FILENAME "${name}.exe")
  set(KORIMO_RC_ICON "${PROJECT_SOURCE_DIR}/packaging/icons/korimo.ico")
  # FILEVERSION takes four numbers: major, minor, patch, tweak.
  set(numbers)
  foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      list(APPEND numbers 0)
    else()
      list(APPEND numbers ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  list(JOIN numbers "," KORIMO_RC_VERSION_NUMBERS)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${KORIMO_WINDOWS_RC_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # A new icon rebuilds the resources.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${KORIMO_RC_ICON})
endfunction()
