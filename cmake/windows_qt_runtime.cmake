# The Qt runtime of the Windows desktop tool: copied into bin/, where every program of the build
# goes, beside the Qt and compiler runtime DLLs, the platform and style plugins and the toolkit's
# Russian texts, so kovrix.exe and the widget tests start from the build tree as they do installed.
# The install rules ship the same runtime (without what only the tests use) into one flat directory.
set(KOVRIX_WINDOWS_BIN ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

set(KOVRIX_QT_DLLS)
foreach(module Core Gui Widgets)
  list(APPEND KOVRIX_QT_DLLS ${KOVRIX_QT_WINDOWS}/bin/Qt6${module}.dll)
endforeach()
# The Qt DLLs link the compiler's runtime dynamically (the programs themselves link it statically).
set(KOVRIX_MINGW_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path ${path} REALPATH)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "the mingw-w64 runtime ${dll} is missing: run scripts/install-deps --windows")
  endif()
  list(APPEND KOVRIX_MINGW_DLLS ${path})
endforeach()
set(KOVRIX_QT_PLATFORM ${KOVRIX_QT_WINDOWS}/plugins/platforms/qwindows.dll)
set(KOVRIX_QT_STYLE ${KOVRIX_QT_WINDOWS}/plugins/styles/qwindowsvistastyle.dll)
# The .qm files do not depend on the system: the host's Qt translations serve.
set(KOVRIX_QT_TRANSLATION /usr/share/qt6/translations/qtbase_ru.qm)
if(NOT EXISTS ${KOVRIX_QT_TRANSLATION})
  message(FATAL_ERROR "${KOVRIX_QT_TRANSLATION} is missing: run scripts/install-deps --windows")
endif()
# qt.conf points the toolkit at the directory of the program for its plugins and translations.
set(KOVRIX_QT_CONF ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf)

file(COPY ${KOVRIX_QT_DLLS} ${KOVRIX_MINGW_DLLS} ${KOVRIX_QT_CONF} DESTINATION ${KOVRIX_WINDOWS_BIN})
file(COPY ${KOVRIX_QT_PLATFORM} ${KOVRIX_QT_WINDOWS}/plugins/platforms/qoffscreen.dll
     DESTINATION ${KOVRIX_WINDOWS_BIN}/platforms)
file(COPY ${KOVRIX_QT_STYLE} DESTINATION ${KOVRIX_WINDOWS_BIN}/styles)
file(COPY ${KOVRIX_QT_TRANSLATION} DESTINATION ${KOVRIX_WINDOWS_BIN}/translations)
# The test library for the widget tests only.
file(COPY ${KOVRIX_QT_WINDOWS}/bin/Qt6Test.dll DESTINATION ${KOVRIX_WINDOWS_BIN})

install(FILES ${KOVRIX_QT_DLLS} ${KOVRIX_MINGW_DLLS} ${KOVRIX_QT_CONF} DESTINATION .)
install(FILES ${KOVRIX_QT_PLATFORM} DESTINATION platforms)
install(FILES ${KOVRIX_QT_STYLE} DESTINATION styles)
install(FILES ${KOVRIX_QT_TRANSLATION} DESTINATION translations)
