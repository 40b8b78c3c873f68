# Cross-building vorbex for IBM Z Linux. s390x is big-endian: a build that
# passes its tests here reads the images' little-endian numbers byte by byte,
# as it must.
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
