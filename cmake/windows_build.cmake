# The Windows build: what runs without Qt, libudev and pseudo-terminals.
find_package(Threads REQUIRED)
enable_testing()
# localtime_r and the other thread-safe POSIX functions of the mingw-w64 C library.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

add_subdirectory(driver)
add_subdirectory(monitor/script)

# The initialisation-file module that kovrix-cli reads its defaults with (plain C++).
add_library(kovrix_profile STATIC app/private_profile.cpp)
target_include_directories(kovrix_profile PUBLIC ${PROJECT_SOURCE_DIR})

add_subdirectory(cli)
add_subdirectory(tests/windows)
