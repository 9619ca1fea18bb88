# Cross build for 32-bit Windows with the posix-thread mingw-w64 compilers
# (the win32-thread driver lacks std::mutex and friends).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZAV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${ZAV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZAV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine through this wrapper (it supplies the prefix and display).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/support/wine-run.sh)
