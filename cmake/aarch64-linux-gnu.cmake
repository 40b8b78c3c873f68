# Cross-building vorbex for 64-bit ARM Linux.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
