#include "interrupts.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "output.h"

namespace vorbex {

namespace {

// Room for any path the system accepts (PATH_MAX on Linux); the tool's own
// temporary names take some fifty bytes.
constexpr std::size_t kMaxPath = 4096;

// The path is written only while `marked` is clear and read by the handler
// only while it is set; the fences keep the compiler from moving the copy of
// the path across the flag.
char markedPath[kMaxPath];
volatile std::sig_atomic_t marked = 0;

// Windows has no SIGHUP. It runs a SIGINT handler on a thread of its own,
// while the main thread may still hold the file open, which Windows does not
// let anyone remove: a Ctrl-C there can leave the temporary file after all.
constexpr int kSignals[] = {SIGINT, SIGTERM,
#ifdef SIGHUP
                            SIGHUP
#endif
};

void OnSignal(int sig) {
    RemoveMarkedFile();
    // The signal is blocked while its handler runs, so the raise only makes
    // it pending: it takes its default action the moment the handler returns.
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
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool MarkForRemoval(const char* path) {
    marked = 0;
    const std::size_t length = std::strlen(path);
    if (length >= kMaxPath) {
        return false;
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(markedPath, path, length + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    marked = 1;
    return true;
}

void ClearRemovalMark() {
    marked = 0;
}

void RemoveMarkedFile() {
    if (marked != 0) {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        RemoveFileNow(markedPath);
        marked = 0;
    }
}

}  // namespace vorbex
