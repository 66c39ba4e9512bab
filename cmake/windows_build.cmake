# The Windows build: the driver, the script engine, the simulator (on loopback TCP ports), kovrix-cli,
# kovrix-server and, with Qt for mingw-w64 (scripts/build-qt-windows, given as KOVRIX_QT_WINDOWS), the desktop tool.
find_package(Threads REQUIRED)
# The resource compiler, for the programs' icon and version information.
enable_language(RC)
enable_testing()
# Every program in bin/, where the Qt runtime lies too (cmake/windows_qt_runtime.cmake).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# localtime_r and the other thread-safe POSIX functions of the mingw-w64 C library.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# The initialisation-file module, which kovrix-cli reads its defaults with and the desktop tool uses.
add_subdirectory(platform)
add_subdirectory(ini)
add_subdirectory(driver)
add_subdirectory(port)
add_subdirectory(monitor/script)
add_subdirectory(sim)

set(KOVRIX_QT_WINDOWS "" CACHE PATH "Qt for mingw-w64, as scripts/build-qt-windows installs it")
if(KOVRIX_QT_WINDOWS)
  list(APPEND CMAKE_PREFIX_PATH ${KOVRIX_QT_WINDOWS})
  list(APPEND CMAKE_FIND_ROOT_PATH ${KOVRIX_QT_WINDOWS})
  find_package(Qt6 6.2 REQUIRED COMPONENTS Widgets Test)
  include(cmake/windows_qt_runtime.cmake)
  add_subdirectory(app)
  add_subdirectory(screens)
  add_subdirectory(monitor)
endif()

# nlohmann/json is headers only: the host package's headers, copied alone so that the cross
# compiler does not see the host's /usr/include.
set(KOVRIX_JSON_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json-include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json headers missing: run scripts/install-deps --windows")
endif()
file(COPY /usr/include/nlohmann DESTINATION ${KOVRIX_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KOVRIX_JSON_INCLUDE})

# cpp-httplib: the whole single header (the library is in it), copied alone like the JSON headers.
# Debian's libcpp-httplib-dev installs the split form instead: declarations only, the library
# itself compiled for Linux. Then the whole header of the same version (as in Debian's cpp-httplib
# source package) is given as KOVRIX_HTTPLIB_HEADER; without it kovrix-server.exe and its HTTP
# tests are left out (the service's kept state is built and tested all the same).
# TLS stays off, so the library needs Winsock alone.
set(KOVRIX_HTTPLIB_HEADER /usr/include/httplib.h CACHE FILEPATH "cpp-httplib's whole single header")
set(KOVRIX_HTTPLIB_WHOLE FALSE)
if(EXISTS ${KOVRIX_HTTPLIB_HEADER})
  file(STRINGS ${KOVRIX_HTTPLIB_HEADER} KOVRIX_HTTPLIB_DEFINED REGEX "Server::Server\\(\\)" LIMIT_COUNT 1)
  if(KOVRIX_HTTPLIB_DEFINED)
    set(KOVRIX_HTTPLIB_WHOLE TRUE)
  endif()
endif()
if(KOVRIX_HTTPLIB_WHOLE)
  set(KOVRIX_HTTPLIB_INCLUDE ${CMAKE_BINARY_DIR}/httplib-include)
  configure_file(${KOVRIX_HTTPLIB_HEADER} ${KOVRIX_HTTPLIB_INCLUDE}/httplib.h COPYONLY)
  add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED)
  set_target_properties(PkgConfig::HTTPLIB PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KOVRIX_HTTPLIB_INCLUDE}
                                                      INTERFACE_LINK_LIBRARIES ws2_32)
else()
  message(WARNING "kovrix-server.exe is left out: ${KOVRIX_HTTPLIB_HEADER} is not cpp-httplib's whole single "
                  "header (Debian installs the split form, whose library is built for Linux). Give the whole "
                  "header of the same version as -DKOVRIX_HTTPLIB_HEADER=FILE.")
endif()

add_subdirectory(session)
add_subdirectory(cli)
add_subdirectory(server)
add_subdirectory(tests/windows)
if(KOVRIX_QT_WINDOWS)
  include(cmake/windows_setup.cmake)
endif()
