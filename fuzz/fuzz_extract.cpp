// Fuzzes what vorbex does with an image: open it, load each of the first two
// disks into the buffer and scan it, exactly as the command does, except that
// the files found go to a sink that checks them instead of writing them.
//
// Besides memory errors and undefined behaviour, a run stops on any file that
// is not a run of whole blocks inside the buffer obeying the scan's rules, on
// names that do not follow the counter, and on a load that touches the buffer
// past the count it returns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console.h"
#include "disk_loader.h"
#include "embedded_scan.h"
#include "extract.h"
#include "image_buffer.h"
#include "memory_file.h"
#include "vorbex/d88_reader.h"

namespace {

using vorbex::ImageBuffer;
using vorbex::kMaxFileBlocks;
using vorbex::kScanBlockSize;

constexpr int kDisksLoaded = 2;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_extract: %s\n", what.c_str());
    std::abort();
}

class CheckingSink : public vorbex::FileSink {
  public:
    CheckingSink(const ImageBuffer& buffer, std::int32_t& counter)
        : buffer_(buffer), counter_(counter) {}

    void Announce(const std::string& name) override {
        if (name != vorbex::OutputName(counter_)) {
            Fail("announced " + name + " as file number " + std::to_string(counter_));
        }
        announced_ = name;
    }

    bool Store(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::string&) override {
        if (name != announced_) {
            Fail("stored " + name + " after announcing " + announced_);
        }
        // Compared as addresses: a pointer outside the buffer may not even be
        // formed legally, let alone subtracted.
        const auto begin = reinterpret_cast<std::uintptr_t>(buffer_.bytes.data());
        const auto at = reinterpret_cast<std::uintptr_t>(data);
        if (at < begin || at - begin > ImageBuffer::kSize ||
            size > ImageBuffer::kSize - (at - begin)) {
            Fail(name + " lies outside the buffer");
        }
        if ((at - begin) % kScanBlockSize != 0) {
            Fail(name + " does not start at a block");
        }
        if (size % kScanBlockSize != 0 || size < kScanBlockSize ||
            size > kMaxFileBlocks * kScanBlockSize) {
            Fail(name + " has length " + std::to_string(size));
        }
        // The scan's rules: the first block passes the signature, and the
        // file ends at the first block with a zero tail counting from block
        // w5 / 1024 of the file.
        if (!vorbex::PassesSignature(data)) {
            Fail(name + " starts with a block that fails the signature");
        }
        const std::size_t blocks = size / kScanBlockSize;
        const std::size_t searchFrom = vorbex::HeaderWord(data, 5) / kScanBlockSize;
        if (searchFrom >= blocks) {
            Fail(name + " ends before block w5 / 1024");
        }
        for (std::size_t k = searchFrom; k < blocks; ++k) {
            if (vorbex::TailIsZero(data + k * kScanBlockSize) != (k == blocks - 1)) {
                Fail(name + " does not end at the first zero tail");
            }
        }
        ++stored_;
        return true;
    }

    std::int32_t stored() const { return stored_; }

  private:
    const ImageBuffer& buffer_;
    const std::int32_t& counter_;
    std::string announced_;
    std::int32_t stored_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Made once: a fresh 1.2 MiB buffer and its copy for every input would
    // cost more than the run itself.
    static vorbex::fuzz::MemoryFile file;
    static ImageBuffer buffer;
    static std::vector<std::uint8_t> before;
    file.Write(data, size);
    std::fill(buffer.bytes.begin(), buffer.bytes.end(), std::uint8_t{0});

    vorbex::D88Reader reader;
    if (!reader.Open(file.path().c_str())) {
        Fail("a readable file did not open");
    }
    vorbex::Console console;
    std::int32_t counter = 0;
    CheckingSink sink(buffer, counter);
    for (int disk = 0; disk < reader.GetDiskCount() && disk < kDisksLoaded; ++disk) {
        before = buffer.bytes;
        const std::size_t loaded = vorbex::LoadDisk(reader, disk, buffer);
        if (loaded > ImageBuffer::kSize) {
            Fail("LoadDisk reported " + std::to_string(loaded) + " bytes");
        }
        // The buffer is not cleared between disks; what lies past the load
        // must be exactly what was there before.
        if (!std::equal(before.begin() + static_cast<std::ptrdiff_t>(loaded), before.end(),
                        buffer.bytes.begin() + static_cast<std::ptrdiff_t>(loaded))) {
            Fail("LoadDisk changed the buffer past its count");
        }
        if (!vorbex::ExtractEmbeddedFiles(buffer, counter, sink, console)) {
            Fail("a stored file was reported as failed");
        }
        if (counter != sink.stored()) {
            Fail("the counter did not advance once per file");
        }
    }
    return 0;
}
