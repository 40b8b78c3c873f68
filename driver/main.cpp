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
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "console.h"
#include "extract.h"
#include "image_buffer.h"
#include "interrupt_cleanup.h"
#include "load_disk.h"
#include "messages.h"
#include "vorbex/d88_reader.h"
#include "wtf8_encode.h"

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

int Run(int argc, char** argv) {
    std::set_new_handler(OnOutOfMemory);
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
    const std::unique_ptr<vorbex::ImageBuffer> buffer = vorbex::ImageBuffer::Create();
    if (!buffer) {
        console.WriteError(vorbex::OutOfMemoryMessage());
        return 1;
    }

    std::int32_t counter = 0;
    bool succeeded = true;
    // A disk whose load met a failed read is not scanned: its files would
    // hold the wrong bytes. Files from an earlier disk stay.
    std::error_code readError = reader.GetReadError();
    const int disks = std::min(reader.GetDiskCount(), vorbex::kMaxDisksLoaded);
    for (int disk = 0; disk < disks && !readError; ++disk) {
        vorbex::LoadDisk(reader, disk, *buffer);
        readError = reader.GetReadError();
        if (!readError) {
            succeeded = vorbex::ExtractEmbeddedFiles(*buffer, counter, console) && succeeded;
        }
    }
    if (readError) {
        console.WriteError(vorbex::ReadFailureMessage(argv[1], readError));
        succeeded = false;
    }
    if (const std::error_code error = console.Finish()) {
        console.WriteError(vorbex::StdoutFailureMessage(error));
        succeeded = false;
    }
    return succeeded ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
// Windows hands a narrow main its arguments in the ANSI code page, where a
// name that does not fit is changed (best fit, or '?') and may then name
// another file. wmain gets them as the UTF-16 they are, and passes them on
// as WTF-8, the reader's narrow form of any name Windows can hold.
int wmain(int argc, wchar_t** argv) {
    // The copies below are the run's first allocations.
    std::set_new_handler(OnOutOfMemory);
    std::vector<std::string> arguments;
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i) {
        const std::wstring_view argument(argv[i]);
        arguments.push_back(vorbex::EncodeWtf8(std::u16string(argument.begin(), argument.end())));
    }
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return Run(argc, pointers.data());
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
