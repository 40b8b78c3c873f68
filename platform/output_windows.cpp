#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "output.h"

namespace vorbex {

namespace {

// `text` in code page `codePage` as UTF-16; anything not valid there
// becomes U+FFFD.
std::wstring Widen(std::string_view text, UINT codePage) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    std::string text(3 * wide.size(), '\0');
    text.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            static_cast<int>(text.size()), nullptr, nullptr)));
    return text;
}

}  // namespace

int CreateExclusive(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return _write(fd, data, size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size));
}

int CloseFile(int fd) {
    return _close(fd);
}

void RemoveFileNow(const char* path) {
    _unlink(path);
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

void KeepStandardDescriptors() {
    // Windows gives a new file a handle of its own, never a standard one the
    // caller left unset, so there is nothing to fill.
}

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

void WriteErrorText(std::string_view text) {
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        return;
    }
    const std::wstring wide = Widen(text, CP_UTF8);
    std::fflush(stderr);
    DWORD written = 0;
    WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

std::string DisplayName(const PathString& path) {
    return Utf8(path);
}

// The C library's and the system's words come in the ANSI code page.
std::string ReasonText(std::error_code error) {
    return Utf8(Widen(error.message(), CP_ACP));
}

}  // namespace vorbex
