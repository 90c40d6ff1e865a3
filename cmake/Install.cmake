# What an installation offers other programs, beyond the files each folder installs: the
# database module, find_package(gpslib) with imported targets, gpslib.pc for pkg-config, the
# Python package, the man pages of the tools, and `make package` (a Debian package by CPack).
include(CMakePackageConfigHelpers)

install(TARGETS gpsdb LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/gpslib)

# find_package(gpslib): gpslib::gpsauto, the runtime a client links (its headers come along),
# and gpslib::gpslib, the same under the package's name.
set(GPSLIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/gpslib)
install(EXPORT gpslibTargets NAMESPACE gpslib:: DESTINATION ${GPSLIB_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/gpslibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/gpslibConfig.cmake INSTALL_DESTINATION ${GPSLIB_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/gpslibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/gpslibConfig.cmake
              ${PROJECT_BINARY_DIR}/gpslibConfigVersion.cmake
        DESTINATION ${GPSLIB_CMAKE_DIR})

# pkg-config: the prefix is found from the .pc file's own place, so the package can move.
file(RELATIVE_PATH GPSLIB_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/gpslib.pc.in ${PROJECT_BINARY_DIR}/gpslib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/gpslib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python package, with the paths of the runtime, the modules and the string module
# relative to its own place.
file(RELATIVE_PATH GPSLIB_PY_TO_PREFIX /prefix/${GPSLIB_INSTALL_PYTHONDIR}/gpslib /prefix)
configure_file(${PROJECT_SOURCE_DIR}/python/gpslib/_config.py.in
               ${PROJECT_BINARY_DIR}/python/_config.py @ONLY)
install(FILES python/gpslib/__init__.py python/gpslib/_runtime.py
              ${PROJECT_BINARY_DIR}/python/_config.py ${GPSLIB_PYTHON_BUILD_DIR}/gpslib/enums.py
        DESTINATION ${GPSLIB_INSTALL_PYTHONDIR}/gpslib)
install(PROGRAMS python/examples/walk.py DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

install(FILES apps/gpsreg/gpsreg.1 mapbuild/gpsmap-build.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# make package: a Debian package installing under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gpslib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "gpslib developers <gpslib@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "navigation service for blind and low-vision travellers, with the gpsnav client")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libsqlite3-0, libedit2, libicu72, python3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher | espeak-ng, gpsd")
include(CPack)
