# Toolchain file: cross-compiles for Windows x64 with MinGW-w64 and runs the
# resulting programs (tests included) under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CRT_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: the default win32 model of this GCC has no
# std::mutex or std::thread.
set(CMAKE_C_COMPILER   ${CRT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CRT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${CRT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CRT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: without -static the program needs
# libwinpthread-1.dll and, when it is missing, exits silently with 53.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Target programs (tests, test discovery) run through the Wine wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
