#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "system_file.h"
#include "wtf8_decode.h"

namespace vorbex {

namespace {

std::error_code Win32Error(DWORD error) {
    return {static_cast<int>(error), std::system_category()};
}

std::error_code LastError() {
    return Win32Error(GetLastError());
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The UTF-16 path that `path` (WTF-8, so UTF-8 for every name without a lone
// surrogate) names; nothing when its bytes are not WTF-8. A path whose full
// form does not fit MAX_PATH becomes that full form behind \\?\, which the
// system takes at any length; shorter ones stay as they are, with the
// classic API's handling of `/`, `.`, `..` and trailing dots and spaces.
std::optional<std::wstring> WidePath(const char* path) {
    const std::optional<std::u16string> units = DecodeWtf8(path);
    if (!units) {
        return std::nullopt;
    }
    std::wstring wide(units->begin(), units->end());
    // Paths in the system's own forms (\\?\, \\.\ devices, \??\) are
    // taken as they are, as CreateFileW would.
    if (StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\") ||
        StartsWith(wide, L"\\??\\")) {
        return wide;
    }
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return wide;
    }
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) {
        return wide;
    }
    full.resize(written);
    if (full.size() < MAX_PATH) {
        return wide;
    }
    if (StartsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

DWORD Chunk(std::size_t size) {
    return size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
}

// Fills `dest` by calls of `read(into, size, done, &got)`, which reads at
// most `size` bytes into `into` after `done` bytes have come, until it is
// full, the file ends, or a call fails. The end of a file read at an offset,
// and the writer of a pipe closing its end, are ends, not failures.
template <typename ReadSome>
ReadResult ReadFully(std::span<std::uint8_t> dest, ReadSome read) {
    ReadResult result;
    while (result.count < dest.size()) {
        DWORD got = 0;
        if (!read(dest.data() + result.count, Chunk(dest.size() - result.count), result.count,
                  &got)) {
            const DWORD failure = GetLastError();
            if (failure != ERROR_HANDLE_EOF && failure != ERROR_BROKEN_PIPE) {
                result.error = Win32Error(failure);
            }
            break;
        }
        if (got == 0) {
            break;
        }
        result.count += got;
    }
    return result;
}

}  // namespace

SystemFile::~SystemFile() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

SystemFile::SystemFile(SystemFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), randomAccess_(other.randomAccess_) {}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
        randomAccess_ = other.randomAccess_;
    }
    return *this;
}

bool SystemFile::IsOpen() const {
    return handle_ != nullptr;
}

SystemFile SystemFile::OpenForReading(const char* path, std::error_code& error) {
    SystemFile file;
    if (path == nullptr || *path == '\0') {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return file;
    }
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error = std::make_error_code(std::errc::illegal_byte_sequence);
        return file;
    }
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open.
    HANDLE handle = CreateFileW(wide->c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return file;
    }
    file.handle_ = handle;
    file.randomAccess_ = GetFileType(handle) == FILE_TYPE_DISK;
    return file;
}

SystemFile SystemFile::CreateTemporary(std::error_code& error) {
    SystemFile file;
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"vbx", 0, name) == 0) {
        error = LastError();
        return file;
    }
    HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        DeleteFileW(name);
        return file;
    }
    file.handle_ = handle;
    file.randomAccess_ = true;
    return file;
}

ReadResult SystemFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    return ReadFully(dest, [&](std::uint8_t* into, DWORD size, std::size_t done, DWORD* got) {
        OVERLAPPED at = At(offset + done);
        return ReadFile(handle_, into, size, got, &at);
    });
}

ReadResult SystemFile::Read(std::span<std::uint8_t> dest) {
    return ReadFully(dest, [&](std::uint8_t* into, DWORD size, std::size_t, DWORD* got) {
        return ReadFile(handle_, into, size, got, nullptr);
    });
}

std::error_code SystemFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        OVERLAPPED at = At(offset + done);
        DWORD wrote = 0;
        if (!WriteFile(handle_, data.data() + done, Chunk(data.size() - done), &wrote, &at)) {
            return LastError();
        }
        if (wrote == 0) {
            return std::make_error_code(std::errc::io_error);
        }
        done += wrote;
    }
    return {};
}

}  // namespace vorbex
