#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace vorbex::testing {

namespace fs = std::filesystem;

TempDir::TempDir(const fs::path& parent) {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = parent / ("vorbex-test-" + std::to_string(device()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path FastTempParent() {
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    if (fs::is_directory(shm, ec) && access(shm.c_str(), W_OK) == 0) {
        return shm;
    }
    return fs::temp_directory_path();
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    // In blocks: a byte-wise iterator is slow in unoptimised builds, and the
    // sweep reads a few hundred thousand files.
    Bytes bytes;
    char chunk[64 * 1024];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    }
    return bytes;
}

std::map<std::string, Bytes> ListFiles(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        files[name] = entry.is_regular_file() ? ReadBytes(entry.path()) : Bytes{};
    }
    return files;
}

std::vector<std::string> VorbexCommand() {
    if (const char* command = std::getenv("VORBEX_COMMAND"); command && *command) {
        std::vector<std::string> words;
        std::istringstream in(command);
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        return words;
    }
    return {VORBEX_EXE};
}

namespace {

// The emulator's program and options (tests/CMakeLists.txt); none in a
// native build.
const std::vector<std::string>& EmulatorCommand() {
    static const std::vector<std::string> words = {
#ifdef VORBEX_EMULATOR
        VORBEX_EMULATOR
#endif
    };
    return words;
}

}  // namespace

bool RunsUnderEmulator() {
    return !EmulatorCommand().empty();
}

bool RunsOwnBuild() {
    const char* command = std::getenv("VORBEX_COMMAND");
    return command == nullptr || *command == '\0';
}

std::string LineEnd() {
    const char* eol = std::getenv("VORBEX_EOL");
    return eol && std::string(eol) == "crlf" ? "\r\n" : "\n";
}

namespace {

std::string ReadText(const fs::path& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

StartedRun::StartedRun(const std::vector<std::string>& args, const fs::path& cwd,
                       const RunOptions& options)
    : outPath_(options.stdoutPath ? fs::path(*options.stdoutPath) : capture_.path() / "stdout"),
      errPath_(capture_.path() / "stderr"),
      captureOut_(!options.stdoutPath) {
    std::vector<std::string> command = options.wrapper;
    const std::vector<std::string>& emulator = EmulatorCommand();
    command.insert(command.end(), emulator.begin(), emulator.end());
    const std::vector<std::string> tool =
        options.command.empty() ? VorbexCommand() : options.command;
    command.insert(command.end(), tool.begin(), tool.end());
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : command) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (!options.beforeExec) {
        // Without work to do in the child, spawn: a fork copies the test
        // process's page tables, which under the sanitizers are large, and
        // the sweep starts thousands of runs.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            throw std::runtime_error("cannot start " + command[0]);
        }
    } else {
        pid = fork();
    }
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (options.beforeExec) {
            options.beforeExec();
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    pid_ = pid;
}

StartedRun::~StartedRun() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

RunResult StartedRun::Wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for the tool");
        }
    }
    pid_ = -1;
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (captureOut_) {
        result.out = ReadText(outPath_);
    }
    result.err = ReadText(errPath_);
    return result;
}

RunResult RunVorbex(const std::vector<std::string>& args, const fs::path& cwd,
                    const RunOptions& options) {
    return StartedRun(args, cwd, options).Wait();
}

}  // namespace vorbex::testing
