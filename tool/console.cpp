#include "console.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace vorbex {

void Console::NoteStdoutFailure() {
    if (!stdoutFailed_) {
        stdoutFailed_ = true;
        stdoutError_ = errno;
    }
}

void Console::PrintLine(const std::string& text) {
    errno = 0;
    if (std::fputs(text.c_str(), stdout) == EOF || std::fputc('\n', stdout) == EOF) {
        NoteStdoutFailure();
    }
}

void Console::ReportError(const std::string& what, const std::string& reason) {
    errno = 0;
    if (std::fflush(stdout) != 0) {
        NoteStdoutFailure();
    }
    const std::string line = "vorbex: " + what + ": " + reason + "\n";
    std::fputs(line.c_str(), stderr);
}

bool Console::Finish() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        NoteStdoutFailure();
    }
    if (!stdoutFailed_) {
        return true;
    }
    const std::string reason = stdoutError_ != 0 ? std::generic_category().message(stdoutError_)
                                                 : std::string("write error");
    ReportError("cannot write standard output", reason);
    return false;
}

}  // namespace vorbex
