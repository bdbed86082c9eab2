# Cross build of the Windows executables with Debian's mingw-w64 compilers
# (package g++-mingw-w64-x86-64). Everything is linked statically, so each
# .exe runs on its own: on a Windows PC or under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORIMO_MINGW_TRIPLE x86_64-w64-mingw32)
# The compilers come in two thread models. GoogleTest 1.12 needs std::mutex,
# which only the posix model has; the tool itself uses no threads, and
# KORIMO_MINGW_THREADS=win32 (with KORIMO_BUILD_TESTS=OFF) checks that it builds
# with the default model too.
set(KORIMO_MINGW_THREADS posix CACHE STRING "Thread model of the mingw-w64 compilers: posix or win32")
set(CMAKE_C_COMPILER ${KORIMO_MINGW_TRIPLE}-gcc-${KORIMO_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KORIMO_MINGW_TRIPLE}-g++-${KORIMO_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${KORIMO_MINGW_TRIPLE}-windres)

# Look for libraries and packages of the target only, never the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KORIMO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A library found as an archive (odbc32) is linked between -Bstatic and
# -Bdynamic; ending the line static keeps the C++ runtime after it out of a DLL,
# so the programs import only the system's own DLLs (ODBC32.dll among them).
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# Lets `ctest` in the cross build run the .exe files, when Wine is there; the
# build runs one too (the demo's movement files). Quiet, and with no offer to
# install Mono or Gecko when Wine makes its prefix.
find_program(KORIMO_WINE_PROGRAM wine)
if(KORIMO_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${KORIMO_WINE_PROGRAM})
endif()
