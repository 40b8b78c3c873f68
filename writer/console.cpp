#include "console.h"

#include <cerrno>
#include <cstdio>

#include "output.h"

namespace vorbex {

Console::Console() : flushEachLine_(!StdoutIsTerminal()) {}

void Console::PrintLine(std::string_view line) {
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
        std::fputc('\n', stdout) == EOF || (flushEachLine_ && std::fflush(stdout) != 0)) {
        NoteFailure();
    }
}

void Console::FlushStdout() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        NoteFailure();
    }
}

void Console::NoteFailure() {
    // Some C libraries fail a stream without saying why.
    if (!stdoutError_) {
        stdoutError_ = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    }
}

void Console::WriteError(std::string_view bytes) {
    FlushStdout();
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

void Console::WriteMessage(std::string_view text) {
    FlushStdout();
    WriteErrorText(text);
}

std::error_code Console::Finish() {
    FlushStdout();
    return stdoutError_;
}

}  // namespace vorbex
