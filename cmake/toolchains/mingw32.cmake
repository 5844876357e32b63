# SPDX-License-Identifier: AGPL-3.0-or-later
# Cross-building for Windows with Debian's MinGW-w64 (i686-w64-mingw32).
# The posix thread model: the host's std::mutex needs it (gcc 12's win32
# model has none); winpthreads is linked statically like the rest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VX_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
