// vorbex: cuts the embedded files out of the first two disks of a D88 image.
#include <cstdint>
#include <cstdio>

#include "console.h"
#include "disk_loader.h"
#include "extract.h"
#include "image_buffer.h"
#include "vorbex/d88_reader.h"

namespace {

constexpr int kMaxDisksLoaded = 2;

// "ファイルをオープンできません" in Shift_JIS, written as bytes whatever the
// terminal's character set.
constexpr unsigned char kOpenFailure[] = {
    0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, 0x82, 0xF0, 0x83, 0x49, 0x81, 0x5B, 0x83,
    0x76, 0x83, 0x93, 0x82, 0xC5, 0x82, 0xAB, 0x82, 0xDC, 0x82, 0xB9, 0x82, 0xF1, '\n'};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: vorbex [d88file]\n", stderr);
        return 1;
    }
    vorbex::D88Reader reader;
    if (!reader.Open(argv[1])) {
        std::fwrite(kOpenFailure, 1, sizeof kOpenFailure, stderr);
        return 1;
    }

    vorbex::Console console;
    vorbex::DirectorySink sink(console);
    vorbex::ImageBuffer buffer;
    std::int32_t counter = 0;
    bool allStored = true;
    const int diskCount = reader.GetDiskCount();
    for (int disk = 0; disk < diskCount && disk < kMaxDisksLoaded; ++disk) {
        vorbex::LoadDisk(reader, disk, buffer);
        if (!vorbex::ExtractEmbeddedFiles(buffer, counter, sink, console)) {
            allStored = false;
        }
    }
    const bool printed = console.Finish();
    return allStored && printed ? 0 : 1;
}
