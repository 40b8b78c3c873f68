#include <io.h>

#include <csignal>

#include "interrupts.h"

namespace vorbex {

namespace {

// Windows runs a SIGINT handler on a thread of its own, while the main thread
// may still hold the file open, which Windows does not let anyone remove: a
// Ctrl-C there can leave the temporary file after all.
constexpr int kSignals[] = {SIGINT, SIGTERM};

void OnSignal(int sig) {
    RemoveMarkedFile();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

void InstallInterruptCleanup() {
    for (const int sig : kSignals) {
        if (std::signal(sig, OnSignal) == SIG_IGN) {
            std::signal(sig, SIG_IGN);
        }
    }
}

void RemoveFileNow(const char* path) {
    _unlink(path);
}

}  // namespace vorbex
