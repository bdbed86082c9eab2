# The Windows bundle: `cmake --build build/mingw --target package` writes
# build/mingw/korimo-VERSION-windows-x64.zip with
#   korimo.exe, korimo-cli.exe          the tool and its command-line twin
#   demo/korimo-demo.exe + *.mov        the demo on the simulated engraver, with
#                                       its movement files (never beside korimo.exe)
#   README.txt                          how a technician starts the tool
#   LICENSES/                           Qt's LGPL-3 (and the GPL-3 it builds on),
#                                       the notices of Qt's bundled code and of
#                                       the mingw-w64 runtime
#   relink/                             what LGPL-3 asks of a static link: the
#                                       tool's own objects and libraries and a
#                                       CMake project that links them with a
#                                       modified Qt
# Qt is linked statically: one .exe to copy, nothing to install.
if(NOT TARGET korimo OR NOT TARGET korimo-demo OR NOT TARGET korimo-cli)
  message(STATUS "Windows bundle: korimo, korimo-demo and korimo-cli are needed; no package")
  return()
endif()

install(TARGETS korimo korimo-cli RUNTIME DESTINATION . COMPONENT tool)
install(TARGETS korimo-demo RUNTIME DESTINATION demo COMPONENT tool)
get_property(demo_move_files GLOBAL PROPERTY KORIMO_DEMO_MOVE_FILES)
install(FILES ${demo_move_files} DESTINATION demo COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION . COMPONENT tool)

# Licence texts and notices, from the build machine's Debian packages of the
# same sources (qt6-base 6.4.2, mingw-w64).
set(licence_files
  /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3)
foreach(notice
    "libqt6core6/copyright=qt6-base-copyright.txt"
    "mingw-w64-common/copyright=mingw-w64-copyright.txt"
    "gcc-mingw-w64-base/copyright=gcc-mingw-w64-copyright.txt")
  string(REPLACE "=" ";" pair "${notice}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  if(EXISTS /usr/share/doc/${from})
    install(FILES /usr/share/doc/${from} DESTINATION LICENSES RENAME ${to} COMPONENT tool)
  else()
    message(WARNING "Windows bundle: /usr/share/doc/${from} is missing; the bundle lacks ${to}")
  endif()
endforeach()
install(FILES ${licence_files} DESTINATION LICENSES COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/THIRD-PARTY.txt DESTINATION LICENSES
        COMPONENT tool)

# The relink kit: korimo's and korimo-demo's object files and the project's
# static libraries they link, with the CMake project that links them again.
# (Only the objects: the list holds the precompiled header too.)
foreach(program korimo korimo-demo)
  install(FILES "$<FILTER:$<TARGET_OBJECTS:${program}>,INCLUDE,\\.obj$>"
          DESTINATION relink/objects/${program} COMPONENT tool)
endforeach()
install(TARGETS korimo_main_window korimo_memedit korimo_jog korimo_iocheck korimo_ui
                korimo_win32 korimo_sim korimo_config korimo_motion korimo_device
        ARCHIVE DESTINATION relink/lib COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/relink/CMakeLists.txt
              ${PROJECT_SOURCE_DIR}/packaging/windows/relink/README.txt
        DESTINATION relink COMPONENT tool)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korimo)
set(CPACK_PACKAGE_VENDOR "Korimo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korimo configuration tool for Windows")
set(CPACK_PACKAGE_FILE_NAME "korimo-${PROJECT_VERSION}-windows-x64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
