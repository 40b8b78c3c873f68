#include "output_file.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include "interrupt_cleanup.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <filesystem>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace vorbex {

namespace {

// Names to try for one file. Leftovers of earlier runs cannot hold them but by
// a chance of about one in 2^64 each, so running out means something other
// than leftovers is wrong.
constexpr int kMaxAttempts = 100;

std::error_code Errno(int error) {
    return {error, std::generic_category()};
}

#ifdef _WIN32
int CreateExclusive(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}
int CloseFile(int fd) {
    return _close(fd);
}
// The C library's rename does not replace an existing file on Windows.
std::error_code RenameOnto(const std::string& from, const std::string& to) {
    std::error_code failure;
    std::filesystem::rename(from, to, failure);
    return failure;
}
long ProcessId() {
    return _getpid();
}
#else
int CreateExclusive(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<long>(write(fd, data, size));
}
int CloseFile(int fd) {
    return close(fd);
}
std::error_code RenameOnto(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : Errno(errno);
}
long ProcessId() {
    return static_cast<long>(getpid());
}
#endif

// Writes everything or returns the errno of the failure.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const long done = WriteSome(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (done == 0) {
            return EIO;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
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

void AppendHex(std::string& text, std::uint64_t value) {
    for (int shift = 60; shift >= 0; shift -= 4) {
        text.push_back("0123456789abcdef"[(value >> shift) & 0xF]);
    }
}

}  // namespace

std::string TemporaryName(const std::string& name, int attempt) {
    // Fixed for the run; taken once, as asking for the pid is a system call.
    static const long pid = ProcessId();
    static const std::uint64_t seed = RunSeed();
    std::string temp = ".vorbex-";
    temp.append(name);
    temp.push_back('.');
    temp.append(std::to_string(pid));
    temp.push_back('-');
    AppendHex(temp, Mix(seed + static_cast<std::uint64_t>(attempt)));
    temp.append(".tmp");
    return temp;
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

    int error = WriteAll(fd, data.data(), data.size());
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
