# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's MinGW-w64 (GCC, posix threads):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DCMAKE_PREFIX_PATH=<Qt for Windows> -DQT_HOST_PATH=/usr \
#     -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
# scripts/windows.sh does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Qt for Windows lies outside the root path: CMAKE_PREFIX_PATH names it. Building Qt itself
# (scripts/build-qt6-mingw.sh) asks for ONLY in the environment, which its configure tests share.
if(DEFINED ENV{HORALUX_FIND_PACKAGE_MODE})
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE $ENV{HORALUX_FIND_PACKAGE_MODE})
else()
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
endif()
