// Shared helpers of the tests: scratch folders, files, and running vorbex.
#ifndef VORBEX_TESTS_TEST_SUPPORT_H
#define VORBEX_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorbex::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under `parent` (the system's temporary folder by default),
// removed with its contents when the object goes.
class TempDir {
  public:
    explicit TempDir(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Where tests that write files by the thousand make their folders: /dev/shm
// when it is there to use (in memory), else the system's temporary folder.
std::filesystem::path FastTempParent();

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadBytes(const std::filesystem::path& path);

// The names in `dir`, sorted, with the contents of each regular file.
std::map<std::string, Bytes> ListFiles(const std::filesystem::path& dir);

struct RunResult {
    int exitCode = -1;  // the exit code, or 128 + the signal that ended it
    std::string out;    // standard output, unless redirected
    std::string err;    // standard error
};

// A child's command line is: the wrapper, the emulator in a cross build,
// the command (or VorbexCommand()), then the arguments.
struct RunOptions {
    // Standard output goes to this file instead of being captured.
    std::optional<std::string> stdoutPath;
    // Runs in the child just before the program starts (limits, signals).
    std::function<void()> beforeExec;
    // A command that runs the tool, such as strace with its options. It is
    // the host's own program, so under an emulator it runs the emulator,
    // which runs the tool: strace then traces the emulated run.
    std::vector<std::string> wrapper;
    // The program and its first words, instead of VorbexCommand().
    std::vector<std::string> command;
};

// The command that runs the tool: $VORBEX_COMMAND split at spaces when set
// (to run another build, such as the Windows one under wine), else the
// vorbex built with these tests.
std::vector<std::string> VorbexCommand();

// True when the tests were cross-built for another machine and run under
// its emulator (CMake's CMAKE_CROSSCOMPILING_EMULATOR, such as qemu-aarch64),
// which then starts every child too, after the wrapper.
bool RunsUnderEmulator();

// The line end the tool under test writes: "\r\n" when $VORBEX_EOL is
// "crlf", else "\n".
std::string LineEnd();

// True when the tool under test is the vorbex built with these tests, run
// directly: not through valgrind, nor a Windows build under wine.
bool RunsOwnBuild();
// The tool started with `args` in the folder `cwd`, for a test that acts on
// the process while it runs. A run that is not waited for is killed when the
// object goes.
class StartedRun {
  public:
    StartedRun(const std::vector<std::string>& args, const std::filesystem::path& cwd,
               const RunOptions& options);
    ~StartedRun();
    StartedRun(const StartedRun&) = delete;
    StartedRun& operator=(const StartedRun&) = delete;

    int pid() const { return pid_; }
    // Waits for the process to end.
    RunResult Wait();

  private:
    TempDir capture_;  // the captured streams, outside `cwd`, which tests list
    std::filesystem::path outPath_;
    std::filesystem::path errPath_;
    bool captureOut_ = true;
    int pid_ = -1;
};

// Runs the tool with `args` in the folder `cwd`.
RunResult RunVorbex(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                    const RunOptions& options = {});

}  // namespace vorbex::testing

#endif  // VORBEX_TESTS_TEST_SUPPORT_H
