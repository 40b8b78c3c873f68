// The built vorbex, run in a fresh folder: exit code, standard output, the
// exact bytes of standard error and the files it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <thread>

#include "d88_builder.h"
#include "sample_layouts.h"
#include "test_support.h"

namespace vorbex {
namespace {

namespace fs = std::filesystem;
using imagemaker::Disk;
using testing::Bytes;
using testing::RunResult;

constexpr std::size_t kBlock = 1024;
const std::string kOpenFailure =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1";

// Blocks of filler that neither start nor end an embedded file.
Bytes Filler(std::size_t blocks, std::uint8_t value) {
    Bytes data(blocks * kBlock, value);
    for (std::size_t b = 0; b < blocks; ++b) {
        data[b * kBlock] = 0xFF;
    }
    return data;
}

// Puts a file of `blocks` blocks at `block`, its end found by the zero tail
// of its last block, and returns its bytes.
Bytes PutFile(Bytes& data, std::size_t block, std::size_t blocks, std::uint8_t fill) {
    const auto first = data.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
    const auto last = first + static_cast<std::ptrdiff_t>(blocks * kBlock);
    std::fill(first, last, fill);
    const std::uint8_t header[] = {0x10, 0, 0x20, 0, 0x30, 0, 0x40, 0, 0x50, 0, 0x60, 0};
    std::copy(std::begin(header), std::end(header), first);
    std::fill(last - 3, last, std::uint8_t{0});
    return Bytes(first, last);
}

// A 2HD disk whose tracks 5 on hold `loaded`, eight 1024-byte sectors a
// track stored in the order 2, 1, 4, 3, ...
Disk LoadedDisk(const Bytes& loaded, const std::string& name = "E2E") {
    Disk disk;
    disk.name = name;
    const std::size_t tracks = (loaded.size() + 8 * kBlock - 1) / (8 * kBlock);
    for (std::size_t i = 0; i < tracks; ++i) {
        const int t = 5 + static_cast<int>(i);
        disk.tracks[t] =
            imagemaker::MakeTrack(t, 3, {2, 1, 4, 3, 6, 5, 8, 7}, [&](std::uint8_t r, Bytes& d) {
                const std::size_t at = (i * 8 + r - 1) * kBlock;
                if (at < loaded.size()) {
                    std::copy_n(loaded.begin() + static_cast<std::ptrdiff_t>(at), kBlock,
                                d.begin());
                }
            });
    }
    return disk;
}

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + testing::LineEnd();
    }
    return text;
}

class EndToEnd : public ::testing::Test {
  protected:
    RunResult RunOn(const Bytes& image, const testing::RunOptions& options = {}) {
        testing::WriteBytes(images_.path() / "image.d88", image);
        return testing::RunVorbex({(images_.path() / "image.d88").string()}, work_.path(), options);
    }
    std::map<std::string, Bytes> Outputs() const { return testing::ListFiles(work_.path()); }

    testing::TempDir images_;
    testing::TempDir work_;
};

TEST_F(EndToEnd, WrongArgumentCountPrintsUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a.d88", "b.d88"}}) {
        const RunResult run = testing::RunVorbex(args, work_.path());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, Lines({"Usage: vorbex [d88file]"}));
    }
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(EndToEnd, UnopenableImageGetsTheShiftJisMessage) {
    fs::create_directory(images_.path() / "folder");
    for (const std::string& path : {(images_.path() / "missing.d88").string(),
                                    (images_.path() / "folder").string(), std::string()}) {
        const RunResult run = testing::RunVorbex({path}, work_.path());
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, Lines({kOpenFailure})) << path;
    }
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(EndToEnd, ImageWithoutACompleteHeaderSucceedsQuietly) {
    for (const Bytes& image : {Bytes{}, Bytes(687, 0x20)}) {
        const RunResult run = RunOn(image);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(EndToEnd, FirstTwoDisksAreScannedWithoutClearingTheBuffer) {
    Bytes first = Filler(40, 0x11);
    const Bytes a = PutFile(first, 3, 1, 0xA0);
    const Bytes b = PutFile(first, 20, 3, 0xB0);
    Bytes second = Filler(8, 0x22);  // one track: blocks 8 on keep the first disk's data
    const Bytes c = PutFile(second, 1, 2, 0xC0);
    Bytes third = Filler(8, 0x33);
    PutFile(third, 0, 1, 0xD0);

    const RunResult run =
        RunOn(imagemaker::BuildImage({LoadedDisk(first), LoadedDisk(second), LoadedDisk(third)}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Lines({"ZT000", "ZT001", "ZT002", "ZT003"}));
    EXPECT_EQ(run.err, "");
    const std::map<std::string, Bytes> expected = {
        {"ZT000", a}, {"ZT001", b}, {"ZT002", c}, {"ZT003", b}};
    EXPECT_EQ(Outputs(), expected);
}

TEST_F(EndToEnd, TracksOutsideFiveToOneFiftyTwoAreIgnored) {
    Bytes loaded = Filler(148 * 8, 0x44);
    const Bytes last = PutFile(loaded, 148 * 8 - 1, 1, 0xE0);
    Disk disk = LoadedDisk(loaded);
    Bytes outside = Filler(8, 0x55);
    PutFile(outside, 0, 1, 0xF0);
    for (int t : {0, 4, 153, 163}) {
        disk.tracks[t] = LoadedDisk(outside).tracks[5];
    }
    const RunResult run = RunOn(imagemaker::BuildDisk(disk));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Lines({"ZT000"}));
    EXPECT_EQ(Outputs(), (std::map<std::string, Bytes>{{"ZT000", last}}));
}

TEST_F(EndToEnd, NamesGrowPastThreeDigits) {
    Bytes loaded = Filler(148 * 8, 0x66);
    for (std::size_t b = 0; b < 148 * 8; ++b) {
        PutFile(loaded, b, 1, static_cast<std::uint8_t>(b));
    }
    const RunResult run = RunOn(imagemaker::BuildDisk(LoadedDisk(loaded)));
    EXPECT_EQ(run.exitCode, 0);
    const std::map<std::string, Bytes> outputs = Outputs();
    EXPECT_EQ(outputs.size(), 148u * 8);
    ASSERT_TRUE(outputs.count("ZT1000"));
    EXPECT_EQ(outputs.at("ZT1000")[100], 1000 % 256);
    const std::string lineEnd = testing::LineEnd();
    EXPECT_NE(run.out.find("ZT999" + lineEnd + "ZT1000" + lineEnd + "ZT1001" + lineEnd),
              std::string::npos);
}

TEST_F(EndToEnd, DataCutOffByTheEndOfTheFileReadsAsZeros) {
    Bytes first = Filler(8, 0x77);
    PutFile(first, 0, 2, 0x77);
    Bytes second = Filler(8, 0x77);
    PutFile(second, 0, 2, 0x77);
    Bytes image = imagemaker::BuildImage({LoadedDisk(first), LoadedDisk(second)});
    // Cut the second disk inside its track 5, sector 1 (stored second).
    const std::size_t secondStart = image.size() / 2;
    image.resize(secondStart + 0x2B0 + 16 + 1024 + 16 + 600);
    const RunResult run = RunOn(image);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Lines({"ZT000", "ZT001"}));
    const std::map<std::string, Bytes> outputs = Outputs();
    // The zeros reach the block's tail, so the file now ends there.
    const Bytes& cut = outputs.at("ZT001");
    ASSERT_EQ(cut.size(), kBlock);
    EXPECT_EQ(cut[599], 0x77);
    EXPECT_TRUE(std::all_of(cut.begin() + 600, cut.end(), [](auto v) { return v == 0; }))
        << "no stale bytes of the first disk";
}

TEST_F(EndToEnd, OutputNamesReplaceFilesAndLinksAndReportWhatCannotBeWritten) {
    Bytes loaded = Filler(16, 0x12);
    PutFile(loaded, 0, 1, 0xA1);
    const Bytes b = PutFile(loaded, 4, 2, 0xB2);
    const Bytes c = PutFile(loaded, 9, 1, 0xC3);
    fs::create_directory(work_.path() / "ZT000");
    testing::WriteBytes(images_.path() / "target", Bytes(5, 5));
    fs::create_symlink(images_.path() / "target", work_.path() / "ZT001");
    testing::WriteBytes(work_.path() / "ZT002", Bytes(100000, 1));

    const RunResult run = RunOn(imagemaker::BuildDisk(LoadedDisk(loaded)));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, Lines({"ZT000", "ZT001", "ZT002"}));
    EXPECT_EQ(run.err, Lines({"vorbex: cannot write ZT000: Is a directory"}));
    std::map<std::string, Bytes> outputs = Outputs();
    EXPECT_TRUE(fs::is_directory(work_.path() / "ZT000"));
    EXPECT_FALSE(fs::is_symlink(work_.path() / "ZT001"));
    outputs.erase("ZT000");
    EXPECT_EQ(outputs, (std::map<std::string, Bytes>{{"ZT001", b}, {"ZT002", c}}));
    EXPECT_EQ(testing::ReadBytes(images_.path() / "target"), Bytes(5, 5));
}

TEST_F(EndToEnd, FullStandardOutputIsReportedAfterTheFilesAreWritten) {
    Bytes loaded = Filler(8, 0x12);
    const Bytes a = PutFile(loaded, 2, 1, 0xA1);
    testing::RunOptions options;
    options.stdoutPath = "/dev/full";
    const RunResult run = RunOn(imagemaker::BuildDisk(LoadedDisk(loaded)), options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Lines({"vorbex: cannot write standard output: No space left on device"}));
    EXPECT_EQ(Outputs(), (std::map<std::string, Bytes>{{"ZT000", a}}));
}

// Writes `bytes` to `fd` from another thread, then closes it; a reader that
// goes away early only ends the writing.
class Feeder {
  public:
    Feeder(int fd, const Bytes& bytes)
        : thread_([fd, &bytes] {
              std::size_t done = 0;
              while (done < bytes.size()) {
                  const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
                  if (wrote <= 0) {
                      break;
                  }
                  done += static_cast<std::size_t>(wrote);
              }
              close(fd);
          }) {}
    ~Feeder() { thread_.join(); }

  private:
    std::thread thread_;
};

class Sources : public EndToEnd {
  protected:
    void SetUp() override {
        if (!testing::RunsOwnBuild()) {
            GTEST_SKIP() << "pipes and devices are tried with the Linux build run directly";
        }
        // A feeder whose reader has gone gets EPIPE instead.
        std::signal(SIGPIPE, SIG_IGN);
        testing::WriteBytes(images_.path() / "image.d88", sample_);
        clean_ = testing::RunVorbex({(images_.path() / "image.d88").string()}, work_.path());
        ASSERT_EQ(clean_.exitCode, 0);
        ASSERT_EQ(clean_.err, "");
        cleanFiles_ = Outputs();
        ASSERT_GT(cleanFiles_.size(), 50u);
    }
    // Runs the tool on the sample through a pipe on standard input, in `dir`;
    // `prepare` runs in the child first.
    RunResult RunOnPipe(const fs::path& dir, const std::function<void()>& prepare = {},
                        const std::vector<std::string>& command = {}) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        testing::RunOptions options;
        options.command = command;
        options.beforeExec = [&] {
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
            close(fds[1]);
            if (prepare) {
                prepare();
            }
        };
        Feeder feeder(fds[1], sample_);
        const RunResult run = testing::RunVorbex({"/dev/stdin"}, dir, options);
        close(fds[0]);
        return run;
    }
    void ExpectClean(const RunResult& run, const fs::path& dir) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, clean_.out);
        EXPECT_EQ(testing::ListFiles(dir), cleanFiles_);
    }

    const Bytes sample_ = *imagemaker::MakeLayout("sample");
    RunResult clean_;
    std::map<std::string, Bytes> cleanFiles_;
    testing::TempDir other_;
};

TEST_F(Sources, PipeAndFifoGiveWhatTheFileGives) {
    ExpectClean(RunOnPipe(other_.path()), other_.path());

    const fs::path fifo = images_.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const testing::TempDir third;
    std::thread opener([&] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        if (fd >= 0) {
            Feeder feeder(fd, sample_);
        }
    });
    const RunResult run = testing::RunVorbex({fifo.string()}, third.path());
    opener.join();
    ExpectClean(run, third.path());
}

TEST_F(Sources, EndlessDeviceEndsWithAMessage) {
    const RunResult run = testing::RunVorbex({"/dev/zero"}, other_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, Lines({"vorbex: cannot read /dev/zero: a pipe or device is read only up "
                              "to its first 256 MiB"}));
    EXPECT_TRUE(testing::ListFiles(other_.path()).empty());
}

// A pipe is read through a temporary copy in $TMPDIR. When the copy cannot be
// made, the message says so and where; nothing is written.
TEST_F(Sources, FailedCopyOfAPipeNamesItsFolder) {
    const std::string missing = (images_.path() / "missing").string();
    RunResult run = RunOnPipe(other_.path(), [&] { setenv("TMPDIR", missing.c_str(), 1); });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Lines({"vorbex: cannot read /dev/stdin: cannot make a temporary copy in " +
                              missing + ": No such file or directory"}));
    // Past a file-size limit, whose signal would end the run unless ignored.
    const std::string folder = images_.path().string();
    run = RunOnPipe(other_.path(), [&] {
        setenv("TMPDIR", folder.c_str(), 1);
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_DFL);
    });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Lines({"vorbex: cannot read /dev/stdin: cannot make a temporary copy in " +
                              folder + ": File too large"}));
    EXPECT_TRUE(testing::ListFiles(other_.path()).empty());
}

// Where the system has no unnamed files, the copy gets a name that is removed
// at once: vorbex_write_seam makes it so, and raises SIGTERM in between.
TEST_F(Sources, SignalWhileAPipeIsCopiedLeavesNoCopy) {
    const testing::TempDir copies;
    const RunResult run = RunOnPipe(other_.path(),
                                    [&] {
                                        setenv("TMPDIR", copies.path().c_str(), 1);
                                        setenv("VORBEX_SEAM_FAULT", "tmpfile", 1);
                                    },
                                    {VORBEX_WRITE_SEAM_EXE});
    EXPECT_EQ(run.exitCode, 128 + SIGTERM);
    EXPECT_TRUE(testing::ListFiles(copies.path()).empty());
    EXPECT_TRUE(testing::ListFiles(other_.path()).empty());
}

// Reads of the image fail with EIO from the n-th on, for every n up to past
// the last read: a run either gives every file, or ends with exit code 1 and
// the reason, having written either nothing or exactly the first disk's
// files, named as in a clean run.
TEST_F(Sources, FailingReadsWriteNothingWrong) {
    if (access("/usr/bin/strace", X_OK) != 0) {
        GTEST_SKIP() << "no strace to make reads fail with";
    }
    const fs::path image = images_.path() / "image.d88";
    const std::string message =
        Lines({"vorbex: cannot read " + image.string() + ": Input/output error"});
    // The dynamic loader reads with pread64 too: count its reads, made
    // before the image is opened, and leave them alone.
    const fs::path trace = other_.path() / "trace";
    testing::RunOptions tracing;
    tracing.wrapper = {"/usr/bin/strace", "-f", "-o", trace.string(), "-e", "trace=openat,pread64"};
    testing::RunVorbex({image.string()}, work_.path(), tracing);
    const Bytes traced = testing::ReadBytes(trace);
    const std::string lines(traced.begin(), traced.end());
    const std::string before = lines.substr(0, lines.find(image.string()));
    int loaderReads = 0;
    for (std::size_t at = before.find("pread64("); at != std::string::npos;
         at = before.find("pread64(", at + 1)) {
        ++loaderReads;
    }
    std::size_t firstDiskFiles = 0;
    bool sawNothing = false;
    bool sawAll = false;
    for (int n = loaderReads + 1; n < loaderReads + 64 && !sawAll; ++n) {
        const testing::TempDir dir;
        testing::RunOptions options;
        // A leak check cannot run under strace; the other tests make it.
        options.wrapper = {"/usr/bin/env",
                           "ASAN_OPTIONS=detect_leaks=0",
                           "/usr/bin/strace",
                           "-f",
                           "-o",
                           "/dev/null",
                           "-e",
                           "inject=pread64:error=EIO:when=" + std::to_string(n) + "+"};
        const RunResult run = testing::RunVorbex({image.string()}, dir.path(), options);
        const std::map<std::string, Bytes> files = testing::ListFiles(dir.path());
        if (run.exitCode == 0) {
            ExpectClean(run, dir.path());
            sawAll = true;
            continue;
        }
        EXPECT_EQ(run.exitCode, 1) << n;
        EXPECT_EQ(run.err, message) << n;
        EXPECT_EQ(run.out, clean_.out.substr(0, files.size() * 6)) << n;
        // The first disk's files, the same at every n where it is whole.
        sawNothing = sawNothing || files.empty();
        if (!files.empty()) {
            firstDiskFiles = firstDiskFiles == 0 ? files.size() : firstDiskFiles;
            EXPECT_EQ(files.size(), firstDiskFiles) << n;
        }
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(bytes, cleanFiles_.at(name)) << n << ": " << name;
        }
    }
    EXPECT_TRUE(sawNothing && sawAll) << "the failure never met the first disk or never missed";
    EXPECT_GT(firstDiskFiles, 0u) << "the failure never met the second disk alone";
    EXPECT_LT(firstDiskFiles, cleanFiles_.size());
}

}  // namespace
}  // namespace vorbex
