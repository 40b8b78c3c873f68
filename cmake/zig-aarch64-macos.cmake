# Cross-building vorbex for macOS on Apple silicon (arm64) with zig's clang.
set(VORBEX_ZIG_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
