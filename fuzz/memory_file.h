// The fuzzers hand each input to code that reads files by path. An in-memory
// file (memfd) reached through /proc/self/fd keeps the millions of runs off
// the disk and leaves nothing behind when a run is killed.
#ifndef VORBEX_FUZZ_MEMORY_FILE_H
#define VORBEX_FUZZ_MEMORY_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorbex::fuzz {

class MemoryFile {
  public:
    // Aborts when no such file can be made: a fuzzer without its input file
    // would only report false results.
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents with the `size` bytes at `data`.
    void Write(const std::uint8_t* data, std::size_t size);

    // A path that opens the file afresh, from its first byte.
    const std::string& path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

}  // namespace vorbex::fuzz

#endif  // VORBEX_FUZZ_MEMORY_FILE_H
