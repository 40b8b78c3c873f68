// What the writer asks of the operating system: new files created only where
// no file has the name, renamed onto their final name once whole, the process
// id that sets this run's names apart, and the console.
#ifndef VORBEX_PLATFORM_OUTPUT_H
#define VORBEX_PLATFORM_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include "image_file.h"

namespace vorbex {

// A new file for writing at `path`, which nothing may hold yet: a descriptor,
// or -1 with errno set (EEXIST when the name is taken).
int CreateExclusive(const char* path);

// Writes up to `size` bytes; what write(2) returns.
long WriteSome(int fd, const std::uint8_t* data, std::size_t size);

// 0, or -1 with errno set: then the data may never have reached the disk.
int CloseFile(int fd);

// Removes `path` by the one system call, as a signal handler may.
void RemoveFileNow(const char* path);

// Renames `from` onto `to`, replacing a file or symbolic link of that name.
[[nodiscard]] std::error_code RenameOnto(const std::string& from, const std::string& to);

long ProcessId();

// Fills each of standard input, output and error that the caller closed with
// the null device, opened so that using it fails as the closed one would,
// before anything else is opened: else the image or a file being written
// would take its number, and the names printed would go into it.
void KeepStandardDescriptors();

bool StdoutIsTerminal();

// Writes `text`, UTF-8, to standard error: as it is, or as the characters it
// stands for where standard error is a Windows console.
void WriteErrorText(std::string_view text);

// `path` as UTF-8 text for a message (on POSIX, its bytes as they are).
std::string DisplayName(const PathString& path);

// The system's words for `error`, as UTF-8 text.
std::string ReasonText(std::error_code error);

}  // namespace vorbex

#endif  // VORBEX_PLATFORM_OUTPUT_H
