# The Windows Installer package: `cmake --build build/mingw --target msi` writes
# build/mingw/korimo-VERSION-windows-x64.msi with the files of the zip bundle
# (cmake/cpack-windows.cmake: the same install rules, staged and stripped into
# build/mingw/msi-stage), built by wixl from msitools (cmake/make-msi.cmake,
# packaging/windows/korimo.wxs).
#
# A target of its own rather than CPack's WIX generator: that generator drives
# the WiX toolset's candle.exe and light.exe, a Windows program set, and CMake
# builds it only into the Windows cpack; wixl reads WiX sources on Linux but
# has its own command line, so CPack cannot call it.
if(NOT TARGET korimo OR NOT TARGET korimo-demo OR NOT TARGET korimo-cli)
  return()
endif()
find_program(KORIMO_WIXL wixl)
if(NOT KORIMO_WIXL)
  message(STATUS "Windows Installer package: wixl (Debian package wixl) is missing; no msi target")
  return()
endif()

set(msi_stage ${CMAKE_BINARY_DIR}/msi-stage)
set(msi_file ${CMAKE_BINARY_DIR}/korimo-${PROJECT_VERSION}-windows-x64.msi)
add_custom_target(msi
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${msi_stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${msi_stage} --strip
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${msi_stage} -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${msi_file} -DWIXL=${KORIMO_WIXL} -P ${CMAKE_CURRENT_LIST_DIR}/make-msi.cmake
  COMMENT "Windows Installer package ${msi_file}"
  VERBATIM)
add_dependencies(msi korimo korimo-cli korimo-demo)
