#include <windows.h>

#include <string>

#include "image_file.h"

namespace vorbex {

namespace {

std::error_code LastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A path whose full form does not fit MAX_PATH becomes that full form behind
// \\?\, which the system takes at any length; shorter ones stay as they are,
// with the classic handling of `/`, `.`, `..` and trailing dots and spaces.
std::wstring LongPath(const std::wstring& path) {
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\") ||
        StartsWith(path, L"\\??\\")) {
        return path;
    }
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (needed == 0 || written == 0 || written >= needed || written < MAX_PATH) {
        return path;
    }
    full.resize(written);
    return StartsWith(full, L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

DWORD Chunk(std::size_t size) {
    return size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
}

// Calls `transfer(done, chunk, &moved)`, which moves up to `chunk` bytes
// after the first `done`, until `size` bytes have gone, the file ends, or a
// call fails. The end of a file read at an offset, and the writer of a pipe
// closing its end, are ends, not failures.
template <typename Transfer>
ReadResult Repeat(std::size_t size, Transfer transfer) {
    ReadResult result;
    while (result.count < size) {
        DWORD moved = 0;
        if (!transfer(result.count, Chunk(size - result.count), &moved)) {
            const DWORD failure = GetLastError();
            if (failure != ERROR_HANDLE_EOF && failure != ERROR_BROKEN_PIPE) {
                result.error = {static_cast<int>(failure), std::system_category()};
            }
            break;
        }
        if (moved == 0) {
            break;
        }
        result.count += moved;
    }
    return result;
}

}  // namespace

void ImageFile::Close() {
    if (handle_ != -1) {
        CloseHandle(Handle(handle_));
    }
}

ImageFile ImageFile::Open(const PathChar* path, std::error_code& error) {
    ImageFile file;
    if (path == nullptr || *path == L'\0') {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return file;
    }
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open.
    HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    file.randomAccess_ = GetFileType(handle) == FILE_TYPE_DISK;
    return file;
}

// The system deletes the file when its last handle goes, however the process
// ends; the process id and the time keep its name apart from others'. The
// folder ends in a backslash.
ImageFile ImageFile::CreateUnnamed(const PathString& folder, std::error_code& error) {
    ImageFile file;
    const std::wstring name =
        LongPath(folder + L"vorbex-copy-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64()) + L".tmp");
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    file.randomAccess_ = true;
    return file;
}

ReadResult ImageFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    return Repeat(dest.size(), [&](std::size_t done, DWORD chunk, DWORD* got) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        return ReadFile(Handle(handle_), dest.data() + done, chunk, got, &at);
    });
}

ReadResult ImageFile::Read(std::span<std::uint8_t> dest) {
    return Repeat(dest.size(), [&](std::size_t done, DWORD chunk, DWORD* got) {
        return ReadFile(Handle(handle_), dest.data() + done, chunk, got, nullptr);
    });
}

std::error_code ImageFile::Append(std::span<const std::uint8_t> data) {
    const ReadResult wrote = Repeat(data.size(), [&](std::size_t done, DWORD chunk, DWORD* moved) {
        return WriteFile(Handle(handle_), data.data() + done, chunk, moved, nullptr);
    });
    return wrote.count < data.size() && !wrote.error ? std::make_error_code(std::errc::io_error)
                                                     : wrote.error;
}

PathString TemporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length > 0 && length <= MAX_PATH ? folder : L".\\";
}

}  // namespace vorbex
