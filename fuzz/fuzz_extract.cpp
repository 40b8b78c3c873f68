// Fuzzes what vorbex does with an image: open it, load each of the first two
// disks into the buffer and find the embedded files there, exactly as the
// command does, minus the writing.
//
// Besides memory errors and undefined behaviour, a run stops when a load
// touches the buffer past the count it returns, or when the files found are
// not exactly those that the checker below, written on its own from the
// scan's rules, finds in the same buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "embedded_files.h"
#include "image_buffer.h"
#include "load_disk.h"
#include "memory_file.h"
#include "vorbex/d88_reader.h"

namespace {

using Files = std::vector<std::pair<std::size_t, std::size_t>>;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_extract: %s\n", what.c_str());
    std::abort();
}

// The files in `size` bytes at `buffer` as (offset, length): a block of 1024
// bytes whose first six little-endian words rise strictly, the first a
// multiple of 16 below 4096, starts one unless it is among the last eight
// blocks; the file ends at the first block from w5 / 1024 on, among its first
// twelve and inside the buffer, whose last three bytes are zero.
Files ExpectedFiles(const std::uint8_t* buffer, std::size_t size) {
    Files files;
    const std::size_t blocks = size / 1024;
    for (std::size_t b = 0; b + 8 < blocks; ++b) {
        const std::uint8_t* start = buffer + 1024 * b;
        unsigned w[6];
        for (int k = 0; k < 6; ++k) {
            w[k] = start[2 * k] + 256u * start[2 * k + 1];
        }
        bool signature = w[0] % 16 == 0 && w[0] < 4096;
        for (int k = 1; k < 6; ++k) {
            signature = signature && w[k - 1] < w[k];
        }
        if (!signature) {
            continue;
        }
        for (std::size_t k = w[5] / 1024; k < 12 && b + k < blocks; ++k) {
            const std::uint8_t* tail = buffer + 1024 * (b + k + 1) - 3;
            if (tail[0] == 0 && tail[1] == 0 && tail[2] == 0) {
                files.emplace_back(1024 * b, 1024 * (k + 1));
                break;
            }
        }
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Made once: a fresh 1.2 MiB buffer and its copy for every input would
    // cost more than the run itself.
    static vorbex::fuzz::MemoryFile file;
    static const std::unique_ptr<vorbex::ImageBuffer> buffer = vorbex::ImageBuffer::Create();
    static std::vector<std::uint8_t> before;
    file.Write(data, size);
    const std::span<std::uint8_t> bytes = buffer->Bytes();
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});

    vorbex::D88Reader reader;
    if (!reader.Open(file.path().c_str())) {
        Fail("a readable file did not open");
    }
    for (int disk = 0; disk < reader.GetDiskCount() && disk < vorbex::kMaxDisksLoaded; ++disk) {
        before.assign(bytes.begin(), bytes.end());
        const std::size_t loaded = vorbex::LoadDisk(reader, disk, *buffer);
        if (loaded > bytes.size()) {
            Fail("LoadDisk reported " + std::to_string(loaded) + " bytes");
        }
        // The buffer is not cleared between disks; what lies past the load
        // must be exactly what was there before.
        if (!std::equal(before.begin() + static_cast<std::ptrdiff_t>(loaded), before.end(),
                        bytes.begin() + static_cast<std::ptrdiff_t>(loaded))) {
            Fail("LoadDisk changed the buffer past its count");
        }
        Files found;
        for (const vorbex::EmbeddedFile& f : vorbex::FindEmbeddedFiles(bytes)) {
            found.emplace_back(f.offset, f.length);
        }
        if (found != ExpectedFiles(bytes.data(), bytes.size())) {
            Fail("the files found differ from the checker's on disk " + std::to_string(disk));
        }
    }
    return 0;
}
