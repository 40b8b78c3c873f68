#include "messages.h"

#include "vorbex/d88_reader.h"

namespace vorbex {

namespace {

std::string Line(std::string_view text) {
    std::string line = "vorbex: ";
    line.append(text);
    line.push_back('\n');
    return line;
}

// The system's words for a failure, or ours for the reader's own.
std::string Reason(std::error_code error) {
    if (error == ReaderErrc::kStreamTooLong) {
        return "a pipe or device is read only up to its first " +
               std::to_string(D88Reader::kStreamLimit >> 20) + " MiB";
    }
    return error.message();
}

std::string Failure(std::string_view what, std::error_code error) {
    return Line(std::string(what) + ": " + Reason(error));
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

std::string ReadFailureMessage(std::string_view image, std::error_code error) {
    if (error == std::errc::not_enough_memory) {
        return std::string(OutOfMemoryMessage());
    }
    return Failure("cannot read " + std::string(image), error);
}

std::string StdoutFailureMessage(std::error_code error) {
    return Failure("cannot write standard output", error);
}

std::string_view OutOfMemoryMessage() {
    return "vorbex: out of memory\n";
}

}  // namespace vorbex
