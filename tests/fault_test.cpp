// The built vorbex when its output fails: files past a size limit, folders in
// the way, a full device or a closed pipe as standard output. Each run is
// compared with a clean run of the same image: what could be written must be
// there whole, nothing partial may stand under an output name, no temporary
// file may be left, and every failure is named on standard error.
//
// Runs as root in CI, so faults come from limits, devices and folders, never
// from permission bits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

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
    build::Disk disk;
    disk.name = "MANY FILES";
    for (int t = 5; t <= 152; ++t) {
        disk.tracks[t] =
            build::MakeTrack(t, 3, {1, 2, 3, 4, 5, 6, 7, 8}, [t](std::uint8_t r, Bytes& data) {
                const std::uint8_t header[] = {0x10, 0, 0x20, 0, 0x30, 0,
                                               0x40, 0, 0x50, 0, 0x60, 0};
                std::copy(std::begin(header), std::end(header), data.begin());
                data[100] = static_cast<std::uint8_t>(t);
                data[101] = r;
            });
    }
    return build::BuildImage({disk, disk});
}

testing::RunOptions FileSizeLimit(rlim_t bytes) {
    testing::RunOptions options;
    options.beforeExec = [bytes] {
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        // Failing writes then return EFBIG instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
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
    static void ExpectNoTemporaryFile(const Files& files) {
        for (const auto& [name, bytes] : files) {
            EXPECT_NE(name.rfind(".vorbex-", 0), 0u) << name << " left behind";
        }
    }

    const Bytes sample_ = *build::MakeLayout("sample");
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

}  // namespace
}  // namespace vorbex
