# GoogleTest for the cross build. No Windows build of the library is packaged,
# so it is compiled from the sources Debian ships (package googletest) as part
# of the build; find_package(GTest) finds this file through GTest_DIR, which the
# `mingw` preset sets.
set(KORIMO_GTEST_SOURCE_DIR /usr/src/googletest/googletest
    CACHE PATH "GoogleTest sources compiled into the cross build")
if(NOT TARGET GTest::gtest)
  if(NOT EXISTS ${KORIMO_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(GTest_FOUND FALSE)
    set(GTest_NOT_FOUND_MESSAGE "no GoogleTest sources in ${KORIMO_GTEST_SOURCE_DIR}")
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # The sources define GTest::gtest and GTest::gtest_main themselves.
  add_subdirectory(${KORIMO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
endif()
set(GTest_FOUND TRUE)
