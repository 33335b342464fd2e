# Settings for every test program, applied once the whole tree is defined.
# A test program is a target that a test of the same name runs.
#
# Test code is compiled without optimisation: it is three quarters of the
# tree's compile time, and the code under test keeps the tree's own flags.
# The headers every test includes are parsed once per tree (precompiled),
# one set for the gtest programs and one for the QtTest ones.

function(orvan_collect_tests dir out)
  get_property(tests DIRECTORY ${dir} PROPERTY TESTS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    orvan_collect_tests(${sub} more)
    list(APPEND tests ${more})
  endforeach()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

set(ORVAN_TEST_COMPILE_OPTIONS -O0 -U_FORTIFY_SOURCE)
# UBSan's null, alignment and dynamic type checks on every access and call
# would double the test code's compile time at -O0; the code under test
# keeps them, and a null access in a test still stops it with
# AddressSanitizer's report.
if(ORVAN_SANITIZE)
  list(APPEND ORVAN_TEST_COMPILE_OPTIONS -fno-sanitize=alignment,null,vptr)
endif()

add_executable(orvan_pch_gtest EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/testlib/pch/PchHost.cpp)
target_link_libraries(orvan_pch_gtest PRIVATE orvan_tree GTest::gtest)
target_compile_options(orvan_pch_gtest PRIVATE ${ORVAN_TEST_COMPILE_OPTIONS})
target_precompile_headers(orvan_pch_gtest PRIVATE
  ${PROJECT_SOURCE_DIR}/testlib/pch/TestHeaders.h)
set_target_properties(orvan_pch_gtest PROPERTIES UNITY_BUILD OFF)
if(ORVAN_GUI)
  add_executable(orvan_pch_qtest EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/testlib/pch/PchHost.cpp)
  target_link_libraries(orvan_pch_qtest PRIVATE orvan_tree GTest::gtest Qt6::Widgets)
  target_compile_options(orvan_pch_qtest PRIVATE ${ORVAN_TEST_COMPILE_OPTIONS})
  target_precompile_headers(orvan_pch_qtest PRIVATE
    ${PROJECT_SOURCE_DIR}/testlib/pch/QtTestHeaders.h)
  set_target_properties(orvan_pch_qtest PROPERTIES UNITY_BUILD OFF)
endif()

orvan_collect_tests(${PROJECT_SOURCE_DIR} orvan_tests)
foreach(t ${orvan_tests})
  if(NOT TARGET ${t})
    continue()
  endif()
  get_target_property(type ${t} TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    continue()
  endif()
  target_compile_options(${t} PRIVATE ${ORVAN_TEST_COMPILE_OPTIONS})
  # gold links a test program in half the time of the default linker.
  target_link_options(${t} PRIVATE -fuse-ld=gold)
  # The QtTest programs include their moc output themselves: the file
  # AUTOMOC adds is empty and need not load the precompiled headers.
  get_target_property(automoc ${t} AUTOMOC)
  if(automoc)
    get_target_property(bin ${t} BINARY_DIR)
    set_source_files_properties(${bin}/${t}_autogen/mocs_compilation.cpp
      TARGET_DIRECTORY ${t} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
  get_target_property(libs ${t} LINK_LIBRARIES)
  if(ORVAN_GUI AND ("orvan_testlib_gui" IN_LIST libs OR "Qt6::Test" IN_LIST libs))
    target_precompile_headers(${t} REUSE_FROM orvan_pch_qtest)
  elseif("GTest::gtest_main" IN_LIST libs OR "GTest::gtest" IN_LIST libs
         OR "orvan_testlib" IN_LIST libs OR "orvan_testlib_store" IN_LIST libs)
    target_precompile_headers(${t} REUSE_FROM orvan_pch_gtest)
  endif()
endforeach()
