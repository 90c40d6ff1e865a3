# gpslib_add_test(NAME <exe> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per tested module; every test case becomes a CTest test.
include(GoogleTest)
function(gpslib_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE GPSLIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               GPSLIB_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "GPSLIB_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
