#include "messages.h"

#include "image_file.h"
#include "output.h"

namespace vorbex {

namespace {

std::string Failure(const std::string& what, std::error_code error) {
    return "vorbex: " + what + ": " + ReasonText(error) + "\n";
}

}  // namespace

std::string UsageMessage() {
    return "Usage: vorbex [d88file]\n";
}

std::string OpenFailureMessage() {
    return "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76"
           "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\n";
}

std::string WriteFailureMessage(std::string_view name, std::error_code error) {
    return Failure("cannot write " + std::string(name), error);
}

std::string ReadFailureMessage(const PathChar* image, const ReadError& error) {
    const std::string what = "cannot read " + DisplayName(image);
    if (error.inCopy) {
        return Failure(what + ": cannot make a temporary copy in " + DisplayName(TemporaryFolder()),
                       error.reason);
    }
    if (error.reason == std::errc::not_enough_memory) {
        return std::string(OutOfMemoryMessage());
    }
    if (error.reason == std::errc::file_too_large) {
        return "vorbex: " + what + ": a pipe or device is read only up to its first " +
               std::to_string(D88Reader::kStreamLimit >> 20) + " MiB\n";
    }
    return Failure(what, error.reason);
}

std::string StdoutFailureMessage(std::error_code error) {
    return Failure("cannot write standard output", error);
}

std::string_view OutOfMemoryMessage() {
    return "vorbex: out of memory\n";
}

}  // namespace vorbex
