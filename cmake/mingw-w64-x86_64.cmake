# Cross-building vorbex.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The POSIX-threads flavour: its libstdc++ is the complete one, whatever
# the distribution's default flavour is.
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The .exe carries its C++ runtime and threads library, so it runs on a
# Windows that has none of mingw's DLLs. The linker leaves the PE header's
# time stamp at zero, so that two builds of the same source are the same
# bytes (its checksum follows from the rest).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
