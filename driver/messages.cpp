#include "messages.h"

namespace vorbex {

namespace {

std::string Failure(std::string_view what, std::error_code error) {
    std::string text = "vorbex: ";
    text.append(what);
    text.append(": ");
    text.append(error.message());
    text.push_back('\n');
    return text;
}

}  // namespace

std::string UsageMessage() {
    return "Usage: vorbex [d88file]\n";
}

std::string OpenFailureMessage() {
    return "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82"
           "\xAB"
           "\x82\xDC\x82\xB9\x82\xF1\n";
}

std::string WriteFailureMessage(std::string_view name, std::error_code error) {
    return Failure("cannot write " + std::string(name), error);
}

std::string StdoutFailureMessage(std::error_code error) {
    return Failure("cannot write standard output", error);
}

std::string_view OutOfMemoryMessage() {
    return "vorbex: out of memory\n";
}

}  // namespace vorbex
