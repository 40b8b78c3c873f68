// vorbex: cuts the embedded files out of the first two disks of a D88 image.
//
// The whole run: open the image, then for each of its first two disks load
// the disk into the buffer, find the embedded files there and write them.
#include <algorithm>
#include <cstdint>

#include "console.h"
#include "extract.h"
#include "image_buffer.h"
#include "interrupt_cleanup.h"
#include "load_disk.h"
#include "messages.h"
#include "vorbex/d88_reader.h"

int main(int argc, char** argv) {
    vorbex::InstallInterruptCleanup();
    vorbex::Console console;
    if (argc != 2) {
        console.WriteError(vorbex::UsageMessage());
        return 1;
    }
    vorbex::D88Reader reader;
    if (!reader.Open(argv[1])) {
        console.WriteError(vorbex::OpenFailureMessage());
        return 1;
    }

    vorbex::ImageBuffer buffer;
    std::int32_t counter = 0;
    bool allWritten = true;
    const int disks = std::min(reader.GetDiskCount(), vorbex::kMaxDisksLoaded);
    for (int disk = 0; disk < disks; ++disk) {
        vorbex::LoadDisk(reader, disk, buffer);
        allWritten = vorbex::ExtractEmbeddedFiles(buffer, counter, console) && allWritten;
    }
    if (const std::error_code error = console.Finish()) {
        console.WriteError(vorbex::StdoutFailureMessage(error));
        return 1;
    }
    return allWritten ? 0 : 1;
}
