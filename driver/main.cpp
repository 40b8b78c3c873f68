// vorbex: cuts the embedded files out of the first two disks of a D88 image.
//
// The whole run: open the image, then for each of its first two disks load
// the disk into the buffer, find the embedded files there and write them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>

#include "console.h"
#include "extract.h"
#include "image_buffer.h"
#include "interrupts.h"
#include "load_disk.h"
#include "messages.h"
#include "output.h"
#include "vorbex/d88_reader.h"

namespace {

// operator new calls this instead of throwing when memory runs out. The run
// ends here: the temporary file being written goes, the names printed so far
// go out, and the message is written without allocating anything.
[[noreturn]] void OnOutOfMemory() {
    vorbex::RemoveMarkedFile();
    std::fflush(stdout);
    const std::string_view message = vorbex::OutOfMemoryMessage();
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::_Exit(1);
}

// The image's path comes as the system has it: bytes on POSIX, UTF-16 on
// Windows, where the narrow form would go through the ANSI code page and a
// name that does not fit it would be changed (best fit, or '?') and might
// then name another file.
template <typename Char>
int Run(int argc, Char** argv) {
    vorbex::KeepStandardDescriptors();
    std::set_new_handler(OnOutOfMemory);
    vorbex::InstallInterruptCleanup();
    vorbex::Console console;
    if (argc != 2) {
        console.WriteError(vorbex::UsageMessage());
        return 1;
    }
    const Char* image = argv[1];
    vorbex::D88Reader reader;
    if (!reader.Open(image)) {
        console.WriteError(vorbex::OpenFailureMessage());
        return 1;
    }
    const std::unique_ptr<vorbex::ImageBuffer> buffer = vorbex::ImageBuffer::Create();
    if (!buffer) {
        console.WriteMessage(vorbex::OutOfMemoryMessage());
        return 1;
    }

    std::int32_t counter = 0;
    bool succeeded = true;
    // A disk whose load met a failed read is not scanned: its files would
    // hold the wrong bytes. Files from an earlier disk stay.
    vorbex::ReadError readError = reader.GetReadError();
    const int disks = std::min(reader.GetDiskCount(), vorbex::kMaxDisksLoaded);
    for (int disk = 0; disk < disks && !readError; ++disk) {
        vorbex::LoadDisk(reader, disk, *buffer);
        readError = reader.GetReadError();
        if (!readError) {
            succeeded = vorbex::ExtractEmbeddedFiles(*buffer, counter, console) && succeeded;
        }
    }
    if (readError) {
        console.WriteMessage(vorbex::ReadFailureMessage(image, readError));
        succeeded = false;
    }
    if (const std::error_code error = console.Finish()) {
        console.WriteMessage(vorbex::StdoutFailureMessage(error));
        succeeded = false;
    }
    return succeeded ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
