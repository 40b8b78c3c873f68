#include "extract.h"

#include <cstdio>

#include "embedded_scan.h"
#include "output_file.h"

namespace vorbex {

void DirectorySink::Announce(const std::string& name) {
    console_.PrintLine(name);
}

bool DirectorySink::Store(const std::string& name, const std::uint8_t* data, std::size_t size,
                          std::string& reason) {
    return WriteFileWhole(name, data, size, reason);
}

std::string OutputName(std::int32_t counter) {
    char name[16];
    std::snprintf(name, sizeof name, "ZT%03d", static_cast<int>(counter));
    return name;
}

bool ExtractEmbeddedFiles(const ImageBuffer& buffer, std::int32_t& counter, FileSink& sink,
                          Console& console) {
    bool allStored = true;
    const std::uint8_t* data = buffer.bytes.data();
    for (const EmbeddedFile& file : FindEmbeddedFiles(data, buffer.bytes.size())) {
        const std::string name = OutputName(counter);
        sink.Announce(name);
        ++counter;
        std::string reason;
        if (!sink.Store(name, data + file.offset, file.length, reason)) {
            console.ReportError("cannot write " + name, reason);
            allStored = false;
        }
    }
    return allStored;
}

}  // namespace vorbex
