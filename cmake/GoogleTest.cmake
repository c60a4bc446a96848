# GoogleTest for the tree's tests: BRINDOREL_GTEST_LIBS names gtest and gtest_main.
# A native Linux tree links Debian's libgtest-dev. Its libraries exist for the
# build machine's own architecture only, so the cross trees (Windows, and the
# 32-bit Linux tree) build GoogleTest from Debian's sources (package googletest)
# with their own compiler and flags.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  set(BRINDOREL_GTEST_LIBS GTest::gtest GTest::gtest_main)
  return()
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
set(BRINDOREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest package)")
add_subdirectory(${BRINDOREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's customisation header, ahead of its own stub.
foreach(target gtest gtest_main)
  target_include_directories(${target} BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/tests/gtest-port)
endforeach()
set(BRINDOREL_GTEST_LIBS gtest gtest_main)
