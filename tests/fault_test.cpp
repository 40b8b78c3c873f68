// The built vorbex when its output fails or its run is cut short: files past
// a size limit, folders in the way, a full device or a closed pipe as
// standard output, signals, leftovers of earlier runs, too little memory.
// Each run is compared with a clean run of the same image: what could be
// written must be there whole, nothing partial may stand under an output
// name, no temporary file may be left, every file left must have been named
// on standard output, and every failure is named on standard error.
//
// Runs as root in CI, so faults come from limits, devices and folders, never
// from permission bits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "d88_builder.h"
#include "sample_layouts.h"
#include "test_support.h"

namespace vorbex {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using Files = std::map<std::string, Bytes>;

struct Outcome {
    testing::RunResult run;
    Files files;
};

std::string Line(const std::string& text) {
    return text + testing::LineEnd();
}

// Every block of tracks 5 to 152 is a one-block file, on each of two disks:
// 2368 names, far more than standard output's buffer holds, so a failing
// standard output shows in the middle of the run, not only at its end.
Bytes ManyFilesImage() {
    imagemaker::Disk disk;
    disk.name = "MANY FILES";
    for (int t = 5; t <= 152; ++t) {
        disk.tracks[t] =
            imagemaker::MakeTrack(t, 3, {1, 2, 3, 4, 5, 6, 7, 8}, [t](std::uint8_t r, Bytes& data) {
                const std::uint8_t header[] = {0x10, 0, 0x20, 0, 0x30, 0,
                                               0x40, 0, 0x50, 0, 0x60, 0};
                std::copy(std::begin(header), std::end(header), data.begin());
                data[100] = static_cast<std::uint8_t>(t);
                data[101] = r;
            });
    }
    return imagemaker::BuildImage({disk, disk});
}

testing::RunOptions FileSizeLimit(rlim_t bytes) {
    testing::RunOptions options;
    options.beforeExec = [bytes] {
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        // As a shell leaves it: a write past the limit raises SIGXFSZ, whose
        // default action ends the process mid-file unless vorbex ignores it.
        std::signal(SIGXFSZ, SIG_DFL);
    };
    return options;
}

// Standard output is a pipe whose reading end is already closed.
testing::RunOptions ClosedPipe(bool ignoreSigpipe) {
    testing::RunOptions options;
    options.beforeExec = [ignoreSigpipe] {
        int fds[2];
        if (pipe(fds) != 0) {
            _exit(125);
        }
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        std::signal(SIGPIPE, ignoreSigpipe ? SIG_IGN : SIG_DFL);
    };
    return options;
}

constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

// The test runner may have been started with some of these ignored or
// blocked, and the child would inherit that.
void DefaultEndingSignals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int sig : kEndingSignals) {
        std::signal(sig, SIG_DFL);
        sigaddset(&blocked, sig);
    }
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
    // SIGQUIT and SIGXCPU would leave a core file in the folder the test lists.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    const std::string end = testing::LineEnd();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find(end, at);
        if (next == std::string::npos) {
            ADD_FAILURE() << "unfinished line: " << text.substr(at);
            break;
        }
        lines.push_back(text.substr(at, next - at));
        at = next + end.size();
    }
    return lines;
}

// qemu-user reports a signal that ends the emulated program with a line of
// its own ("qemu: uncaught target signal 3 (Quit) - core dumped"); that line
// is the emulator's, not vorbex's, so it is left out of the comparison.
std::string WithoutEmulatorNotice(const std::string& err) {
    if (!testing::RunsUnderEmulator()) {
        return err;
    }
    std::string kept;
    for (const std::string& line : Lines(err)) {
        if (line.rfind("qemu: uncaught target signal ", 0) != 0) {
            kept += Line(line);
        }
    }
    return kept;
}

// The first `count` lines of `text`, each with its line end.
std::string FirstLines(const std::string& text, std::size_t count) {
    std::string first;
    for (const std::string& line : Lines(text)) {
        if (count-- == 0) {
            break;
        }
        first += Line(line);
    }
    return first;
}

// The files of a clean run that are named in `out`.
Files NamedIn(const std::string& out, const Files& clean) {
    Files named;
    for (const std::string& name : Lines(out)) {
        const auto file = clean.find(name);
        if (file == clean.end()) {
            ADD_FAILURE() << name << " is no file of the clean run";
        } else {
            named.insert(*file);
        }
    }
    return named;
}

// True once the process `pid` sleeps in a write to its standard output, the
// pipe read through `pipeEnd` having no room left for another name.
bool BlockedOnFullPipe(int pid, int pipeEnd, int capacity) {
    const int shortestLine =
        static_cast<int>(std::string("ZT000").size() + testing::LineEnd().size());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        int queued = 0;
        if (ioctl(pipeEnd, FIONREAD, &queued) == 0 && capacity - queued < shortestLine) {
            // "running", or the call's number and arguments while it sleeps.
            std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
            long call = -1;
            std::string fd;
            if (in >> call >> fd && call == SYS_write && fd == "0x1") {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

std::string ReadToEnd(int fd) {
    std::string text;
    char chunk[4096];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno != EINTR) {
            ADD_FAILURE() << "cannot read the pipe";
            break;
        }
        text.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    return text;
}

class OutputFaults : public ::testing::Test {
  protected:
    Outcome Run(const Bytes& image, const fs::path& dir, const testing::RunOptions& options = {}) {
        const fs::path path = images_.path() / "image.d88";
        testing::WriteBytes(path, image);
        testing::RunResult run = testing::RunVorbex({path.string()}, dir, options);
        return {std::move(run), testing::ListFiles(dir)};
    }
    Outcome Clean(const Bytes& image) {
        Outcome clean = Run(image, clean_.path());
        EXPECT_EQ(clean.run.exitCode, 0);
        EXPECT_EQ(clean.run.err, "");
        return clean;
    }
    void EmptyWork() {
        fs::remove_all(work_.path());
        fs::create_directory(work_.path());
    }
    static void ExpectNoTemporaryFile(const Files& files) {
        for (const auto& [name, bytes] : files) {
            EXPECT_NE(name.rfind(".vorbex-", 0), 0u) << name << " left behind";
        }
    }

    const Bytes sample_ = *imagemaker::MakeLayout("sample");
    testing::TempDir images_{testing::FastTempParent()};
    testing::TempDir clean_{testing::FastTempParent()};
    testing::TempDir work_{testing::FastTempParent()};
};

TEST_F(OutputFaults, FilesPastTheSizeLimitFailAndLeaveOlderFilesAlone) {
    constexpr std::size_t kLimit = 5000;  // not a whole number of blocks
    const Outcome clean = Clean(sample_);
    // An old file under the name of one file that fits and of one that
    // does not: the first is replaced, the second must stay as it was.
    std::string fits;
    std::string tooBig;
    for (const auto& [name, bytes] : clean.files) {
        (bytes.size() <= kLimit ? fits : tooBig) = name;
    }
    ASSERT_FALSE(fits.empty());
    ASSERT_FALSE(tooBig.empty());
    const Bytes old(10, 0x0D);
    testing::WriteBytes(work_.path() / fits, old);
    testing::WriteBytes(work_.path() / tooBig, old);

    const Outcome run = Run(sample_, work_.path(), FileSizeLimit(kLimit));
    EXPECT_EQ(run.run.exitCode, 1);
    EXPECT_EQ(run.run.out, clean.run.out);
    std::string errors;
    Files expected;
    for (const auto& [name, bytes] : clean.files) {
        if (bytes.size() <= kLimit) {
            expected[name] = bytes;
        } else {
            errors += Line("vorbex: cannot write " + name + ": File too large");
        }
    }
    expected[tooBig] = old;
    EXPECT_EQ(run.run.err, errors);
    EXPECT_EQ(run.files, expected);
    ExpectNoTemporaryFile(run.files);
}

TEST_F(OutputFaults, FoldersInTheWayOnBothDisks) {
    const Outcome clean = Clean(sample_);
    ASSERT_GT(clean.files.size(), 50u);
    // The first name, one in the middle and the last, which the second disk
    // gives; one folder holds a file that must survive.
    const std::vector<std::string> blocked = {"ZT000", "ZT050",
                                              std::prev(clean.files.end())->first};
    for (const std::string& name : blocked) {
        fs::create_directory(work_.path() / name);
    }
    testing::WriteBytes(work_.path() / "ZT050" / "inside", Bytes(3, 3));

    const Outcome run = Run(sample_, work_.path());
    EXPECT_EQ(run.run.exitCode, 1);
    EXPECT_EQ(run.run.out, clean.run.out);
    std::string errors;
    Files expected = clean.files;
    for (const std::string& name : blocked) {
        errors += Line("vorbex: cannot write " + name + ": Is a directory");
        EXPECT_TRUE(fs::is_directory(work_.path() / name)) << name;
        expected[name] = Bytes{};  // how ListFiles shows a folder
    }
    EXPECT_EQ(run.run.err, errors);
    EXPECT_EQ(run.files, expected);
    EXPECT_EQ(testing::ReadBytes(work_.path() / "ZT050" / "inside"), Bytes(3, 3));
    ExpectNoTemporaryFile(run.files);
}

TEST_F(OutputFaults, StandardOutputFullFromMidRunIsReportedOnceAfterEveryFile) {
    const Bytes image = ManyFilesImage();
    const Outcome clean = Clean(image);
    ASSERT_EQ(clean.files.size(), 2u * 148 * 8);
    testing::RunOptions options;
    options.stdoutPath = "/dev/full";
    const Outcome run = Run(image, work_.path(), options);
    EXPECT_EQ(run.run.exitCode, 1);
    EXPECT_EQ(run.run.err, Line("vorbex: cannot write standard output: No space left on device"));
    EXPECT_EQ(run.files, clean.files);
}

TEST_F(OutputFaults, ClosedPipeWithSigpipeIgnoredIsReportedOnceAfterEveryFile) {
    const Bytes image = ManyFilesImage();
    const Outcome clean = Clean(image);
    const Outcome run = Run(image, work_.path(), ClosedPipe(true));
    EXPECT_EQ(run.run.exitCode, 1);
    EXPECT_EQ(run.run.err, Line("vorbex: cannot write standard output: Broken pipe"));
    EXPECT_EQ(run.files, clean.files);
}

TEST_F(OutputFaults, ClosedPipeEndsTheRunBySignalBeforeTheFirstFile) {
    // Each name goes out before its file is created, so the first name, which
    // the pipe cannot take, ends the run before anything is written.
    for (const Bytes& image : {sample_, ManyFilesImage()}) {
        const Outcome run = Run(image, work_.path(), ClosedPipe(false));
        EXPECT_EQ(run.run.exitCode, 128 + SIGPIPE);
        EXPECT_EQ(run.run.err, "");
        EXPECT_EQ(run.files, Files{});
    }
}

TEST_F(OutputFaults, SignalWhileANameWaitsLeavesExactlyTheFilesNamed) {
    // Standard output is a pipe of one page that nobody reads until the run
    // has ended: the run stops at the name that no longer fits, with the
    // files before it written. Then it gets the signal.
    if (testing::RunsUnderEmulator()) {
        GTEST_SKIP() << "under an emulator /proc/PID/syscall shows the host's system calls, "
                        "whose numbers are not this machine's: the wait for the full pipe "
                        "cannot be seen";
    }
    const Bytes image = ManyFilesImage();
    const Outcome clean = Clean(image);
    const fs::path path = images_.path() / "image.d88";
    for (const int sig : kEndingSignals) {
        SCOPED_TRACE(strsignal(sig));
        EmptyWork();
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        const int capacity = fcntl(fds[1], F_SETPIPE_SZ, 4096);
        if (capacity < 0 || static_cast<std::size_t>(capacity) * 2 > clean.run.out.size()) {
            close(fds[0]);
            close(fds[1]);
            GTEST_SKIP() << "no pipe small enough for the names to fill";
        }
        testing::RunOptions options;
        options.beforeExec = [out = fds[1]] {
            dup2(out, STDOUT_FILENO);
            DefaultEndingSignals();
        };
        testing::StartedRun started({path.string()}, work_.path(), options);
        close(fds[1]);
        const bool blocked = BlockedOnFullPipe(started.pid(), fds[0], capacity);
        kill(started.pid(), sig);
        const testing::RunResult run = started.Wait();
        const std::string names = ReadToEnd(fds[0]);
        close(fds[0]);
        ASSERT_TRUE(blocked);

        EXPECT_EQ(run.exitCode, 128 + sig);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(names, clean.run.out.substr(0, names.size()));
        const Files named = NamedIn(names, clean.files);
        EXPECT_GT(named.size(), 0u);
        EXPECT_LT(named.size(), clean.files.size());
        EXPECT_EQ(testing::ListFiles(work_.path()), named);
    }
}

TEST_F(OutputFaults, SignalOrNoMemoryMidFileRemovesItsTemporaryFile) {
    // vorbex_write_seam strikes right after the data of the 48th file has
    // gone into its temporary file, before the rename: 48 names are out and
    // 47 files whole.
    testing::RunOptions seam;
    seam.command = {VORBEX_WRITE_SEAM_EXE};
    const Outcome clean = Run(sample_, clean_.path(), seam);
    ASSERT_EQ(clean.run.exitCode, 0);
    ASSERT_GT(clean.files.size(), 48u);
    const std::string names = FirstLines(clean.run.out, 48);
    const Files whole = NamedIn(FirstLines(clean.run.out, 47), clean.files);

    struct Fault {
        std::string name;
        int exitCode;
        std::string err;
    };
    std::vector<Fault> faults;
    for (const int sig : kEndingSignals) {
        faults.push_back({std::to_string(sig), 128 + sig, ""});
    }
    faults.push_back({"memory", 1, Line("vorbex: out of memory")});
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        EmptyWork();
        seam.beforeExec = [&fault] {
            setenv("VORBEX_SEAM_WRITE", "48", 1);
            setenv("VORBEX_SEAM_FAULT", fault.name.c_str(), 1);
            DefaultEndingSignals();
        };
        const Outcome run = Run(sample_, work_.path(), seam);
        EXPECT_EQ(run.run.exitCode, fault.exitCode);
        EXPECT_EQ(WithoutEmulatorNotice(run.run.err), fault.err);
        EXPECT_EQ(run.run.out, names);
        EXPECT_EQ(run.files, whole);
    }
}

TEST_F(OutputFaults, SignalsIgnoredAtStartAreNeverCaught) {
    // Under nohup a SIGHUP must find no handler at any moment of the run:
    // the trace may show the ignored signals asked about, never given one.
    if (access("/usr/bin/strace", X_OK) != 0 || !testing::RunsOwnBuild() ||
        testing::RunsUnderEmulator()) {
        GTEST_SKIP() << "needs strace on this machine's own build";
    }
    const fs::path trace = images_.path() / "trace";
    testing::RunOptions options;
    options.wrapper = {
        "/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0", "/usr/bin/strace", "-o", trace.string(),
        "-e",           "trace=rt_sigaction"};
    options.beforeExec = [] {
        for (const int sig : kEndingSignals) {
            std::signal(sig, SIG_IGN);
        }
    };
    const Outcome run = Run(sample_, work_.path(), options);
    EXPECT_EQ(run.run.exitCode, 0);
    const Bytes traced = testing::ReadBytes(trace);
    const std::string lines(traced.begin(), traced.end());
    for (const int sig : kEndingSignals) {
        const std::string call = std::string("rt_sigaction(SIG") + sigabbrev_np(sig) + ", ";
        SCOPED_TRACE(call);
        EXPECT_NE(lines.find(call + "NULL"), std::string::npos) << "never asked";
        EXPECT_EQ(lines.find(call + "{"), std::string::npos) << "given a handler:\n" << lines;
    }
}

// Standard descriptors the caller closed: nothing the run opens may take
// their place, or names and messages would go into it.
TEST_F(OutputFaults, ClosedStandardDescriptorsTakeNoFile) {
    // The image comes through a pipe on descriptor 9, fed by a process of its
    // own, with standard input and output closed.
    if (!testing::RunsOwnBuild() || testing::RunsUnderEmulator()) {
        GTEST_SKIP() << "valgrind, wine and qemu open files of their own on the freed descriptors";
    }
    const fs::path path = images_.path() / "image.d88";
    testing::WriteBytes(path, sample_);
    testing::RunOptions closed;
    closed.beforeExec = [&path] {
        int fds[2];
        if (pipe(fds) != 0 || dup2(fds[0], 9) != 9) {
            _exit(125);
        }
        if (fork() == 0) {
            const int image = open(path.c_str(), O_RDONLY);
            char chunk[4096];
            ssize_t got = 0;
            while (image >= 0 && (got = read(image, chunk, sizeof chunk)) > 0 &&
                   write(fds[1], chunk, static_cast<std::size_t>(got)) == got) {
            }
            _exit(0);
        }
        close(fds[0]);
        close(fds[1]);
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
    };
    const testing::RunResult run = testing::RunVorbex({"/dev/fd/9"}, work_.path(), closed);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Line("vorbex: cannot write standard output: Bad file descriptor"));
    const Outcome clean = Clean(sample_);
    EXPECT_EQ(testing::ListFiles(work_.path()), clean.files);
}

TEST_F(OutputFaults, FailedCloseLeavesNoFileOfThatName) {
    // The close of the 48th file's temporary file fails: its data may never
    // have reached the disk, so that file is reported and not renamed into
    // place; the run goes on with the others.
    testing::RunOptions seam;
    seam.command = {VORBEX_WRITE_SEAM_EXE};
    const Outcome clean = Run(sample_, clean_.path(), seam);
    ASSERT_EQ(clean.run.exitCode, 0);
    const std::string failed = Lines(clean.run.out).at(47);
    seam.beforeExec = [] {
        setenv("VORBEX_SEAM_WRITE", "48", 1);
        setenv("VORBEX_SEAM_FAULT", "close", 1);
    };
    const Outcome run = Run(sample_, work_.path(), seam);
    EXPECT_EQ(run.run.exitCode, 1);
    EXPECT_EQ(run.run.err, Line("vorbex: cannot write " + failed + ": Input/output error"));
    EXPECT_EQ(run.run.out, clean.run.out);
    Files expected = clean.files;
    expected.erase(failed);
    EXPECT_EQ(run.files, expected);
}

TEST_F(OutputFaults, LeftoversOfEarlierRunsAreNeitherInTheWayNorTouched) {
    const Outcome clean = Clean(sample_);
    // A hundred of the names earlier versions used for the first file, and
    // names of today's form that other runs left for several files.
    Files leftovers;
    leftovers[".vorbex-ZT000.tmp"] = Bytes(5, 0xEE);
    for (int i = 1; i < 100; ++i) {
        leftovers[".vorbex-ZT000." + std::to_string(i) + ".tmp"] =
            Bytes(1, static_cast<std::uint8_t>(i));
    }
    for (const std::string name : {"ZT000", "ZT001", "ZT047", "ZT089"}) {
        for (const std::string pid : {"1", "4242", "4194304"}) {
            leftovers[".vorbex-" + name + "." + pid + "-0123456789abcdef.tmp"] = Bytes(7, 0x77);
        }
    }
    for (const auto& [name, bytes] : leftovers) {
        testing::WriteBytes(work_.path() / name, bytes);
    }

    const Outcome run = Run(sample_, work_.path());
    EXPECT_EQ(run.run.exitCode, 0);
    EXPECT_EQ(run.run.err, "");
    EXPECT_EQ(run.run.out, clean.run.out);
    Files expected = clean.files;
    expected.insert(leftovers.begin(), leftovers.end());
    EXPECT_EQ(run.files, expected);
}

// AddressSanitizer reserves terabytes of address space at start-up, so a
// limit on it tells nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(OutputFaults, AddressSpaceLimitsEndInSuccessOrOneLineAboutMemory) {
    if (kAddressSanitizer || std::getenv("VORBEX_COMMAND") != nullptr) {
        GTEST_SKIP() << "the limit would fall on the sanitizer, valgrind or wine";
    }
    if (testing::RunsUnderEmulator()) {
        GTEST_SKIP() << "qemu-user ignores the address-space limits that an emulated program "
                        "sets, as they would fall on the emulator: no limit reaches vorbex";
    }
    const Outcome clean = Clean(sample_);
    // From a limit too small for the program to be loaded at all up to one
    // that is enough, in quarter-MiB steps.
    constexpr rlim_t kStep = 256 * 1024;
    bool loaded = false;
    int outOfMemory = 0;
    for (rlim_t limit = kStep;; limit += kStep) {
        SCOPED_TRACE(std::to_string(limit / 1024) + " KiB");
        ASSERT_LT(limit, rlim_t{256} << 20) << "never enough";
        EmptyWork();
        testing::RunOptions options;
        options.beforeExec = [limit] {
            const rlimit rl{limit, limit};
            setrlimit(RLIMIT_AS, &rl);
        };
        const Outcome run = Run(sample_, work_.path(), options);
        // Below a certain limit the system cannot even load the program: the
        // kernel kills it (SIGSEGV) or the dynamic loader gives up (127).
        const bool notLoaded = run.run.exitCode == 127 || run.run.exitCode == 128 + SIGSEGV;
        if (!loaded && notLoaded && run.run.out.empty() && run.files.empty()) {
            continue;
        }
        loaded = true;
        if (run.run.exitCode == 0) {
            EXPECT_EQ(run.run.err, "");
            EXPECT_EQ(run.run.out, clean.run.out);
            EXPECT_EQ(run.files, clean.files);
            break;
        }
        ++outOfMemory;
        EXPECT_EQ(run.run.exitCode, 1);
        EXPECT_EQ(run.run.err, Line("vorbex: out of memory"));
        // Whole files only, each named; the last name may lack its file.
        EXPECT_EQ(run.run.out, clean.run.out.substr(0, run.run.out.size()));
        const Files named = NamedIn(run.run.out, clean.files);
        EXPECT_TRUE(std::includes(named.begin(), named.end(), run.files.begin(), run.files.end()));
        EXPECT_LE(named.size(), run.files.size() + 1);
    }
    EXPECT_GT(outOfMemory, 0) << "no limit was tight enough to matter";
}

}  // namespace
}  // namespace vorbex
