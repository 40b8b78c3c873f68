# Cross-building vorbex for IBM Z Linux with Debian's cross compiler
# (package g++-s390x-linux-gnu), and running what it builds under qemu-user
# (package qemu-user). s390x is big-endian: a build that passes its tests
# here reads the images' little-endian numbers byte by byte, as it must.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

# vorbex is C++ only; GoogleTest's project enables C as well, and must not
# get the host's C compiler.
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the test programs through this, and so does test discovery;
# the tests start every child program through it too (tests/CMakeLists.txt).
# -L makes qemu look for the dynamic loader and the shared libraries under
# the cross root, where Debian's cross packages put them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x -L /usr/s390x-linux-gnu)
