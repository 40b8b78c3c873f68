// Writing the embedded files of a loaded image buffer.
#ifndef VORBEX_TOOL_EXTRACT_H
#define VORBEX_TOOL_EXTRACT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "console.h"
#include "image_buffer.h"

namespace vorbex {

// Where the embedded files go. The tool writes them to the current directory;
// tests and fuzzing keep them in memory.
class FileSink {
  public:
    virtual ~FileSink() = default;
    // Announces the file about to be written (the tool prints its name).
    virtual void Announce(const std::string& name) = 0;
    // Stores the file; false, with the reason, when it could not be stored.
    virtual bool Store(const std::string& name, const std::uint8_t* data, std::size_t size,
                       std::string& reason) = 0;
};

// The tool's sink: names on standard output, files in the current directory.
class DirectorySink : public FileSink {
  public:
    explicit DirectorySink(Console& console) : console_(console) {}
    void Announce(const std::string& name) override;
    bool Store(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::string& reason) override;

  private:
    Console& console_;
};

// "ZT" and the counter, at least three digits: ZT000, ZT999, ZT1000.
std::string OutputName(std::int32_t counter);

// Hands every embedded file in `buffer` to `sink` under the name made from
// `counter`, advancing the counter by one per file found, whether or not it
// could be stored. A file that cannot be stored is reported on `console`
// and the scan goes on. Returns true when every file was stored.
bool ExtractEmbeddedFiles(const ImageBuffer& buffer, std::int32_t& counter, FileSink& sink,
                          Console& console);

}  // namespace vorbex

#endif  // VORBEX_TOOL_EXTRACT_H
