# Cross build for Windows with the posix-thread mingw-w64 compilers (the win32-thread driver
# lacks std::mutex and friends). Included by the per-architecture toolchain files, which set
# ZAV_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${ZAV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZAV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine through this wrapper (it supplies the prefix, the display
# and the loader of the session's architecture).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/support/wine-run.sh)
