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
// and the system's reason comes back. While the temporary file exists it is
// the one marked for removal should the run be cut short
// (platform/interrupts.h).
[[nodiscard]] std::error_code WriteFileWhole(const std::string& name,
                                             std::span<const std::uint8_t> data);

// The name of the temporary file for `name`, try number `attempt`:
// ".vorbex-NAME.PID-HEX.tmp", where HEX is sixteen hex digits that differ
// from run to run and from try to try. The same in one run for the same
// arguments. It starts with a dot, so that it is not taken for an output
// file.
std::string TemporaryName(const std::string& name, int attempt);

}  // namespace vorbex

#endif  // VORBEX_WRITER_OUTPUT_FILE_H
