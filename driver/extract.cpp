#include "extract.h"

#include <cstdio>

#include "embedded_files.h"
#include "messages.h"
#include "output_file.h"

namespace vorbex {

std::string OutputName(std::int32_t counter) {
    char name[16];
    std::snprintf(name, sizeof name, "ZT%03d", static_cast<int>(counter));
    return name;
}

bool ExtractEmbeddedFiles(const ImageBuffer& buffer, std::int32_t& counter, Console& console) {
    const std::span<const std::uint8_t> bytes = buffer.Bytes();
    bool allWritten = true;
    for (const EmbeddedFile& file : FindEmbeddedFiles(bytes)) {
        const std::string name = OutputName(counter++);
        console.PrintLine(name);
        if (const std::error_code error =
                WriteFileWhole(name, bytes.subspan(file.offset, file.length))) {
            console.WriteMessage(WriteFailureMessage(name, error));
            allWritten = false;
        }
    }
    return allWritten;
}

}  // namespace vorbex
