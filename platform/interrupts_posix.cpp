#include <signal.h>
#include <unistd.h>

#include "interrupts.h"

namespace vorbex {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int sig) {
    RemoveMarkedFile();
    // The signal is blocked while its handler runs, so the raise only makes it
    // pending: it takes its default action the moment the handler returns.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(sig, &defaultAction, nullptr);
    raise(sig);
}

}  // namespace

void InstallInterruptCleanup() {
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
    signal(SIGXFSZ, SIG_IGN);
}

void RemoveFileNow(const char* path) {
    unlink(path);
}

}  // namespace vorbex
