#include "console.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vorbex {

namespace {

bool StdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

}  // namespace

Console::Console() : flushEachLine_(!StdoutIsTerminal()) {}

void Console::NoteStdoutFailure() {
    if (!stdoutError_) {
        // Some C libraries fail a stream without saying why.
        stdoutError_ = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    }
}

void Console::PrintLine(std::string_view line) {
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
        std::fputc('\n', stdout) == EOF || (flushEachLine_ && std::fflush(stdout) != 0)) {
        NoteStdoutFailure();
    }
}

void Console::WriteError(std::string_view text) {
    errno = 0;
    if (std::fflush(stdout) != 0) {
        NoteStdoutFailure();
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::error_code Console::Finish() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        NoteStdoutFailure();
    }
    return stdoutError_;
}

}  // namespace vorbex
