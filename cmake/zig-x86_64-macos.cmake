# Cross-building vorbex for macOS on Intel (x86_64) with zig's clang.
set(VORBEX_ZIG_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
