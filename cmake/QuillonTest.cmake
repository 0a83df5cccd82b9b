# Test programs: one per module, each holding many GoogleTest cases.
#
#   quillon_add_test(NAME SOURCES a.cpp b.cpp [LIBS lib...] [WINDOWS_ONLY])
#
# Builds the program and registers it with CTest. On Windows targets CTest runs it through
# CMAKE_CROSSCOMPILING_EMULATOR (Wine). The environment tells a test where the build and
# source folders are, so that it can find the deliverables and the testbed.

if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(quillon_gtest INTERFACE)
  target_link_libraries(quillon_gtest INTERFACE gmock gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(quillon_gtest INTERFACE)
  target_link_libraries(quillon_gtest INTERFACE GTest::gmock GTest::gtest_main)
endif()

function(quillon_add_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} quillon_gtest)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 900
    ENVIRONMENT "QUILLON_BUILD_DIR=${CMAKE_BINARY_DIR};QUILLON_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
