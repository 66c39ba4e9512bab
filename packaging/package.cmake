# The Debian package: `make package` (CPack, DEB generator) packs what the install rules of the
# programs and the files below install, under /usr.

# Package-wide files: the README, the copyright file and the changelog that Debian expects of
# every package, in /usr/share/doc/kovrix.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${PROJECT_BINARY_DIR}/packaging/changelog
          ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(kovrix_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kovrix developers")
set(CPACK_PACKAGE_CONTACT "Kovrix developers <kovrix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for fiscal cash registers")
# CPack puts the summary above this as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Kovrix connects to a fiscal cash register over RS-232 or its USB virtual
serial port, recognises its model, sells articles in fiscal receipts,
prints daily and periodic reports, programs the device and reads its fiscal
memory and firmware. A frame monitor sends raw commands and runs command
scripts.
.
The package holds the desktop program kovrix, the command-line program
kovrix-cli, the local HTTP/JSON service kovrix-server for point-of-sale
software and the simulated register kovrix-sim, with which everything
runs without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package's own test: build it, look inside, run lintian, unpack it and run the unpacked
# programs. `ctest -L package` runs it alone.
add_test(NAME package COMMAND ${PROJECT_SOURCE_DIR}/packaging/test-package ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package PROPERTIES LABELS package TIMEOUT 300 RUN_SERIAL TRUE)
