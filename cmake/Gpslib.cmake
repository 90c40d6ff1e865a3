# gpslib_add_test(NAME <exe> SOURCES <files...> LIBS <targets...>
#                 [DEFINES <NAME=value...>] [INCLUDES <dirs...>] [DEPENDS <targets...>])
# One GoogleTest executable; every test case becomes a CTest test. DEPENDS names what the tests
# use at run time (modules they load, tools they run, data the build makes).
include(GoogleTest)
function(gpslib_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;DEFINES;INCLUDES;DEPENDS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE GPSLIB_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               GPSLIB_BINARY_DIR="${PROJECT_BINARY_DIR}" ${T_DEFINES})
  if(T_INCLUDES)
    target_include_directories(${T_NAME} PRIVATE ${T_INCLUDES})
  endif()
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "GPSLIB_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# gpslib_installed_data_dirs(<target>)
# Tells a module where its installation's data folder is: GPSLIB_DATA_DIR, the configured
# prefix's, and GPSLIB_DATA_DIR_FROM_MODULE, the same folder relative to the installed module
# (lib/gpslib/ to share/gpslib/), so that an installation moved to another prefix or staged
# under DESTDIR still finds its own string module and maps.
function(gpslib_installed_data_dirs target)
  file(RELATIVE_PATH from_module ${CMAKE_INSTALL_FULL_LIBDIR}/gpslib
       ${CMAKE_INSTALL_FULL_DATADIR}/gpslib)
  target_compile_definitions(${target} PRIVATE
    GPSLIB_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/gpslib"
    GPSLIB_DATA_DIR_FROM_MODULE="${from_module}")
endfunction()
