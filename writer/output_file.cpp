#include "output_file.h"

#include <cerrno>
#include <chrono>

#include "interrupts.h"
#include "output.h"

namespace vorbex {

namespace {

// Names to try for one file. Leftovers of earlier runs cannot hold them but by
// a chance of about one in 2^64 each, so running out means something other
// than leftovers is wrong.
constexpr int kMaxAttempts = 100;

std::error_code Errno(int error) {
    return {error, std::generic_category()};
}

// Writes everything or returns the errno of the failure.
int WriteAll(int fd, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        const long done = WriteSome(fd, data.data(), data.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return done < 0 ? errno : EIO;
        }
        data = data.subspan(static_cast<std::size_t>(done));
    }
    return 0;
}

// SplitMix64's finaliser: spreads every bit of `x` over the whole result.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

// Differs between runs: the pid in the name already tells apart the runs
// that exist at the same time, and this sets a run apart from earlier ones
// that had the same pid. The clock does that; the address of a local adds
// what address-space randomisation gives.
std::uint64_t RunSeed() {
    const int local = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return Mix(static_cast<std::uint64_t>(now)) ^ static_cast<std::uint64_t>(ticks) ^
           reinterpret_cast<std::uintptr_t>(&local);
}

}  // namespace

std::string TemporaryName(const std::string& name, int attempt) {
    // Fixed for the run; taken once, as asking for the pid is a system call.
    static const long pid = ProcessId();
    static const std::uint64_t seed = RunSeed();
    std::string temp = ".vorbex-" + name + "." + std::to_string(pid) + "-";
    const std::uint64_t hex = Mix(seed + static_cast<std::uint64_t>(attempt));
    for (int shift = 60; shift >= 0; shift -= 4) {
        temp.push_back("0123456789abcdef"[(hex >> shift) & 0xF]);
    }
    return temp + ".tmp";
}

std::error_code WriteFileWhole(const std::string& name, std::span<const std::uint8_t> data) {
    // The name is marked before the file exists and until it has been renamed
    // or removed, so that a signal at any point in between removes it. A name
    // that is taken is passed over: whatever holds it is not this run's.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxAttempts && fd < 0; ++attempt) {
        temp = TemporaryName(name, attempt);
        if (!MarkForRemoval(temp.c_str())) {
            return Errno(ENAMETOOLONG);
        }
        fd = CreateExclusive(temp.c_str());
        if (fd < 0) {
            const int error = errno;
            ClearRemovalMark();
            if (error != EEXIST) {
                return Errno(error);
            }
        }
    }
    if (fd < 0) {
        return Errno(EEXIST);
    }
    int error = WriteAll(fd, data);
    // A failed close can mean the data never reached the disk (NFS, quotas):
    // such a file cannot be trusted.
    if (CloseFile(fd) != 0 && error == 0) {
        error = errno;
    }
    const std::error_code failure = error != 0 ? Errno(error) : RenameOnto(temp, name);
    if (failure) {
        RemoveMarkedFile();
    } else {
        ClearRemovalMark();
    }
    return failure;
}

}  // namespace vorbex
