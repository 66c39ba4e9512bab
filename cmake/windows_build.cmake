# The Windows build: what runs without Qt and libudev (the simulator serves on loopback TCP ports).
find_package(Threads REQUIRED)
enable_testing()
# localtime_r and the other thread-safe POSIX functions of the mingw-w64 C library.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

add_subdirectory(driver)
add_subdirectory(port)
add_subdirectory(monitor/script)

# The initialisation-file module that kovrix-cli reads its defaults with (plain C++).
add_library(kovrix_profile STATIC app/private_profile.cpp)
target_include_directories(kovrix_profile PUBLIC ${PROJECT_SOURCE_DIR})

# nlohmann/json is headers only: the host package's headers, copied alone so that the cross
# compiler does not see the host's /usr/include.
set(KOVRIX_JSON_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json-include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json headers missing: run scripts/install-deps --windows")
endif()
file(COPY /usr/include/nlohmann DESTINATION ${KOVRIX_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KOVRIX_JSON_INCLUDE})

add_subdirectory(sim)
add_subdirectory(session)
add_subdirectory(cli)
add_subdirectory(tests/windows)
