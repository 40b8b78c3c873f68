# Cross-building vorbex for macOS with zig's clang, which carries the macOS
# headers and libSystem's link stubs, so no Apple SDK is needed. Included by
# zig-aarch64-macos.cmake and zig-x86_64-macos.cmake once they have set
# VORBEX_ZIG_ARCH. The zig is the one cmake/zig/package-lock.json pins
# (`npm ci` in cmake/zig), or $ZIG (cmake/zig/zig).
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${VORBEX_ZIG_ARCH})

# CMake takes one program for each tool, so each is a small script that
# calls zig with the target.
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/${VORBEX_ZIG_ARCH}-macos-c++)
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/zig/ar CACHE FILEPATH "zig's ar")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/zig/ranlib CACHE FILEPATH "zig's ranlib")
