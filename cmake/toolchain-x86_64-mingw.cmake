# The x86-64 twin of the shipped build: the same sources, for running the Windows tests under
# 64-bit Wine on hosts that run no 32-bit code. It is a test vehicle, never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
