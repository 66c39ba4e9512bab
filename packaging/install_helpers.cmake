# Helpers for the install rules that each program keeps in its own CMakeLists.txt, so that a new
# program brings its files into the package by itself.

# Installs a program into bin with the permissions a package expects; on Windows into the top of
# the installation, beside its DLLs.
function(kovrix_install_program target)
  if(WIN32)
    install(TARGETS ${target} RUNTIME DESTINATION .)
  else()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()

# Compresses packaging/man/<page>.<section> at build time (gzip -9n: no name, no time stamp, so
# the package is reproducible) and installs it into the section's manual directory.
function(kovrix_install_manpage page section)
  if(WIN32)
    return()  # Windows has no manual pages; the programs' --help says the same
  endif()
  set(source ${PROJECT_SOURCE_DIR}/packaging/man/${page}.${section})
  set(packed ${PROJECT_BINARY_DIR}/packaging/man/${page}.${section}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/man
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${packed}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}(${section})"
    VERBATIM)
  add_custom_target(kovrix_man_${page} ALL DEPENDS ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
