// Writing the embedded files of a loaded image buffer.
#ifndef VORBEX_DRIVER_EXTRACT_H
#define VORBEX_DRIVER_EXTRACT_H

#include <cstdint>
#include <string>

#include "console.h"
#include "image_buffer.h"

namespace vorbex {

// "ZT" and the counter, at least three digits: ZT000, ZT999, ZT1000.
std::string OutputName(std::int32_t counter);

// Writes every embedded file in `buffer` to the current directory under the
// name made from `counter`, printing each name before its file is written.
// The counter advances once per file found, whether or not it could be
// written. A file that cannot be written is reported and the scan goes on.
// True when every file was written.
[[nodiscard]] bool ExtractEmbeddedFiles(const ImageBuffer& buffer, std::int32_t& counter,
                                        Console& console);

}  // namespace vorbex

#endif  // VORBEX_DRIVER_EXTRACT_H
