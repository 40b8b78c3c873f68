#include "interrupt_cleanup.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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

#ifdef _WIN32
// Windows runs a SIGINT handler on a thread of its own, while the main thread
// may still hold the file open, which Windows does not let anyone remove: a
// Ctrl-C there can leave the temporary file after all.
constexpr int kSignals[] = {SIGINT, SIGTERM};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif

void OnSignal(int sig) {
    RemoveMarkedFile();
#ifdef _WIN32
    std::signal(sig, SIG_DFL);
    std::raise(sig);
#else
    // The signal is blocked while its handler runs, so the raise only makes it
    // pending: it takes its default action the moment the handler returns.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(sig, &defaultAction, nullptr);
    raise(sig);
#endif
}

}  // namespace

void InstallInterruptCleanup() {
#ifdef _WIN32
    for (const int sig : kSignals) {
        if (std::signal(sig, OnSignal) == SIG_IGN) {
            std::signal(sig, SIG_IGN);
        }
    }
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    // One handler at a time: a second signal waits until the first has
    // removed the file and ended the process.
    sigemptyset(&action.sa_mask);
    for (const int sig : kSignals) {
        sigaddset(&action.sa_mask, sig);
    }
    for (const int sig : kSignals) {
        struct sigaction previous {};
        if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(sig, &action, nullptr);
        }
    }
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
#ifdef _WIN32
        _unlink(markedPath);
#else
        unlink(markedPath);
#endif
        marked = 0;
    }
}

}  // namespace vorbex
