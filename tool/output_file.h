// Writing one output file so that it appears whole or not at all.
#ifndef VORBEX_TOOL_OUTPUT_FILE_H
#define VORBEX_TOOL_OUTPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorbex {

// Writes `size` bytes to a new temporary file in the current directory and
// renames it onto `name`, replacing a file or symbolic link of that name (a
// link is replaced, not written through). On failure the temporary file is
// removed, `reason` receives the system's reason and the result is false.
bool WriteFileWhole(const std::string& name, const std::uint8_t* data, std::size_t size,
                    std::string& reason);

// The name of the temporary file for `name`, try number `attempt`. It starts
// with a dot, so that it is not taken for an output file.
std::string TemporaryName(const std::string& name, int attempt);

}  // namespace vorbex

#endif  // VORBEX_TOOL_OUTPUT_FILE_H
