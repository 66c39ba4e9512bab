# Cross-building for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant, which
# std::thread and std::mutex need). The programs and tests run under Wine when no Windows is at hand.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KOVRIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KOVRIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOVRIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KOVRIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KOVRIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and the end-to-end run start the .exe files through Wine.
find_program(KOVRIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KOVRIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOVRIX_WINE})
endif()
