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

// Every signal whose default action ends the process and that a handler can
// catch: only SIGKILL (and a power loss) can leave a temporary file behind.
// SIGPIPE is not here: only the write of a name raises it, and each name
// goes out before its file is created, never while one is being written.
//
// Windows runs a SIGINT handler on a thread of its own, while the main
// thread may still hold the file open, which Windows does not let anyone
// remove: a Ctrl-C there can leave the temporary file after all.
constexpr int kSignals[] = {SIGINT,    SIGTERM,
#ifndef _WIN32
                            SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                            SIGVTALRM, SIGPROF, SIGXCPU
#endif
};

void OnSignal(int sig) {
    RemoveMarkedFile();
    // The signal is blocked while its handler runs, so the raise only makes
    // it pending: it takes its default action the moment the handler returns.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Whether `sig` was ignored when the process started (as nohup does with
// SIGHUP). It is asked before anything is installed: installing first and
// setting the signal back after would catch it for a moment.
bool IgnoredAtStart(int sig) {
#ifdef _WIN32
    // Windows cannot be asked without installing; a process there does not
    // inherit ignored signals anyway.
    (void)sig;
    return false;
#else
    struct sigaction current {};
    return sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
#endif
}

}  // namespace

void InstallInterruptCleanup() {
    for (const int sig : kSignals) {
        if (!IgnoredAtStart(sig)) {
            std::signal(sig, OnSignal);
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
