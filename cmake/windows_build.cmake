# The Windows build: the driver, the script engine, the simulator (on loopback TCP ports), kovrix-cli
# and, with Qt for mingw-w64 (scripts/build-qt-windows, given as KOVRIX_QT_WINDOWS), the desktop tool.
find_package(Threads REQUIRED)
# The resource compiler, for the programs' icon and version information.
enable_language(RC)
enable_testing()
# Every program in bin/, where the Qt runtime lies too (cmake/windows_qt_runtime.cmake).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# localtime_r and the other thread-safe POSIX functions of the mingw-w64 C library.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

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
else()
  # The initialisation-file module that kovrix-cli reads its defaults with (plain C++).
  add_library(kovrix_profile STATIC app/private_profile.cpp)
  target_include_directories(kovrix_profile PUBLIC ${PROJECT_SOURCE_DIR})
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

add_subdirectory(session)
add_subdirectory(cli)
add_subdirectory(tests/windows)
if(KOVRIX_QT_WINDOWS)
  include(cmake/windows_setup.cmake)
endif()
