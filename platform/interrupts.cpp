#include <atomic>
#include <csignal>
#include <cstring>

#include "interrupts.h"

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

}  // namespace

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
