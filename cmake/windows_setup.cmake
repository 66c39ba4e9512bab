# The Windows setup file, build-windows/kovrix-setup-<version>-x64.exe (NSIS): every program's
# install rules run into a staging tree, its file lists are written from that tree, and makensis
# packs it with packaging/windows/kovrix.nsi. The version is the project's, as for the Debian
# package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME LICENSE.txt)

find_program(KOVRIX_MAKENSIS makensis)
if(NOT KOVRIX_MAKENSIS)
  message(WARNING "makensis missing (scripts/install-deps --windows): no setup file")
  return()
endif()

set(KOVRIX_SETUP ${CMAKE_BINARY_DIR}/kovrix-setup-${PROJECT_VERSION}-x64.exe)
set(stage ${CMAKE_BINARY_DIR}/setup-stage)
set(lists ${CMAKE_BINARY_DIR}/setup-lists)
set(programs kovrix kovrix-cli kovrix-sim)
if(TARGET kovrix-server)
  list(APPEND programs kovrix-server)
endif()
add_custom_command(OUTPUT ${KOVRIX_SETUP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${lists}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${lists}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${stage} -DOUT=${lists} -P ${PROJECT_SOURCE_DIR}/cmake/windows_setup_lists.cmake
  COMMAND ${KOVRIX_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DICON=${PROJECT_SOURCE_DIR}/packaging/windows/kovrix.ico
          -DFILES=${lists}/files.nsh -DUNFILES=${lists}/unfiles.nsh -DUNDIRS=${lists}/undirs.nsh
          -DOUTFILE=${KOVRIX_SETUP} ${PROJECT_SOURCE_DIR}/packaging/windows/kovrix.nsi
  DEPENDS ${programs} ${PROJECT_SOURCE_DIR}/packaging/windows/kovrix.nsi ${PROJECT_SOURCE_DIR}/cmake/windows_setup_lists.cmake
          ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
  COMMENT "Making the setup file ${KOVRIX_SETUP}"
  VERBATIM)
add_custom_target(kovrix_setup ALL DEPENDS ${KOVRIX_SETUP})

# The setup under Wine in a prefix of its own (tests/windows/installer_test.sh).
if(KOVRIX_WINE)
  add_test(NAME windows_installer
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/installer_test.sh ${KOVRIX_WINE} ${KOVRIX_SETUP}
                   ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/wine-setup-prefix)
  set_tests_properties(windows_installer PROPERTIES LABELS windows TIMEOUT 900 RUN_SERIAL TRUE)
endif()
