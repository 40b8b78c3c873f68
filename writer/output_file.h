// Writing one output file so that it appears whole or not at all.
#ifndef VORBEX_WRITER_OUTPUT_FILE_H
#define VORBEX_WRITER_OUTPUT_FILE_H

#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace vorbex {

// Writes `data` to a new temporary file in the current directory and renames
// it onto `name`, replacing a file or symbolic link of that name (a link is
// replaced, not written through). On failure the temporary file is removed
// and the system's reason comes back.
[[nodiscard]] std::error_code WriteFileWhole(const std::string& name,
                                             std::span<const std::uint8_t> data);

// The name of the temporary file for `name`, try number `attempt`. It starts
// with a dot, so that it is not taken for an output file.
std::string TemporaryName(const std::string& name, int attempt);

}  // namespace vorbex

#endif  // VORBEX_WRITER_OUTPUT_FILE_H
