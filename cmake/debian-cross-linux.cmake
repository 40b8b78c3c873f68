# Cross-building vorbex for Linux on another processor with Debian's cross
# compiler (package g++-PROCESSOR-linux-gnu), and running what it builds under
# qemu-user (package qemu-user). The including file sets
# CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Linux)
set(triple ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)

# vorbex is C++ only; GoogleTest's project enables C as well, and must not
# get the host's C compiler.
set(CMAKE_C_COMPILER ${triple}-gcc)
set(CMAKE_CXX_COMPILER ${triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the test programs through this, and so does test discovery;
# the tests start every child program through it too (tests/CMakeLists.txt).
# -L makes qemu look for the dynamic loader and the shared libraries under
# the cross root, where Debian's cross packages put them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${triple})
