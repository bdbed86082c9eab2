# Qt 6 for Windows in the mingw cross build: the static Qt that
# scripts/qt-windows.sh unpacks or builds into its cache folder. The folder is
# KORIMO_QT_WINDOWS_DIR, by default the one the script names for the host Qt's
# version and its options. Without it the windows are not built (ui/ says so).
set(KORIMO_QT_WINDOWS_DIR "" CACHE PATH "Qt 6 for Windows (scripts/qt-windows.sh); empty: its cache folder")
set(KORIMO_QT_WINDOWS_FOUND OFF)

set(qt_dir "${KORIMO_QT_WINDOWS_DIR}")
if(NOT qt_dir)
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/qt-windows.sh --print-dir
    OUTPUT_VARIABLE qt_dir OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE qt_dir_result ERROR_QUIET)
  if(NOT qt_dir_result EQUAL 0)
    set(qt_dir "")
  endif()
endif()

if(qt_dir AND EXISTS "${qt_dir}/lib/cmake/Qt6/Qt6Config.cmake")
  # The unpacked Qt may sit anywhere: it becomes one more root of the target's
  # files, and the host's moc, rcc and uic (the same Qt version) do its code generation.
  list(APPEND CMAKE_FIND_ROOT_PATH "${qt_dir}")
  list(APPEND CMAKE_PREFIX_PATH "${qt_dir}")
  set(Qt6_DIR "${qt_dir}/lib/cmake/Qt6" CACHE PATH "" FORCE)
  set(QT_HOST_PATH /usr CACHE PATH "Qt for the build machine (moc, rcc, uic)")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
  # Found here, at the top: the static Qt's targets must be seen by every folder.
  find_package(Qt6 6.2 COMPONENTS Widgets Test REQUIRED)
  set(KORIMO_QT_WINDOWS_FOUND ON)
  message(STATUS "Qt for Windows: ${qt_dir}")
else()
  message(STATUS "Qt for Windows not found (${qt_dir}): run scripts/qt-windows.sh; "
                 "the windows are not built")
endif()

# korimo_windows_qt_plugins(TARGET): the static Qt plugins a Windows program
# carries: the windows platform, offscreen (headless runs and tests), and the
# windowsvista style.
function(korimo_windows_qt_plugins target)
  if(WIN32 AND KORIMO_QT_WINDOWS_FOUND)
    qt_import_plugins(${target} INCLUDE
      Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin
      Qt6::QWindowsVistaStylePlugin)
  endif()
endfunction()
