# Tests of the stand-in host and of tarvel-host, included from tests/CMakeLists.txt.
find_package(GTest REQUIRED)
include(GoogleTest)

# Module files the loader must refuse: one whose descriptor has a wrong synchronisation word,
# one that exports no descriptor at all.
foreach(module standin_wrong_sync_module standin_no_descriptor_module)
  add_library(${module} MODULE ${PROJECT_SOURCE_DIR}/tests/${module}.cpp)
  set_target_properties(${module} PROPERTIES
    PREFIX "" SUFFIX ".p" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/test_modules)
endforeach()

add_executable(tarvel_standin_tests
  ${PROJECT_SOURCE_DIR}/tests/standin_json_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/standin_scene_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/standin_host_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/standin_module_loader_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/cli_test.cpp)
target_link_libraries(tarvel_standin_tests PRIVATE tarvel_cli tarvel_core tarvel_scenes GTest::gtest_main)
target_compile_definitions(tarvel_standin_tests PRIVATE
  TARVEL_MODULE_FILE="$<TARGET_FILE:tarvel_module>"
  TARVEL_HOST_PROGRAM="$<TARGET_FILE:tarvel-host>"
  TARVEL_WRONG_SYNC_MODULE="$<TARGET_FILE:standin_wrong_sync_module>"
  TARVEL_NO_DESCRIPTOR_MODULE="$<TARGET_FILE:standin_no_descriptor_module>")
add_dependencies(tarvel_standin_tests
  tarvel_module tarvel-host standin_wrong_sync_module standin_no_descriptor_module)
gtest_discover_tests(tarvel_standin_tests DISCOVERY_TIMEOUT 60)
