// The reader's file window: every read gets the file's own bytes whatever the
// order of the reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "file_source.h"
#include "file_window.h"
#include "test_support.h"

namespace vorbex {
namespace {

using testing::Bytes;

// Bytes that differ from their neighbours, so a read from a wrong offset
// shows.
Bytes Scrambled(std::size_t size) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    }
    return data;
}

class FileWindowTest : public ::testing::Test {
  protected:
    void Create(const Bytes& contents) {
        contents_ = contents;
        const auto path = dir_.path() / "image.bin";
        testing::WriteBytes(path, contents_);
        std::unique_ptr<FileSource> source = FileSource::Open(path.string().c_str());
        ASSERT_TRUE(source);
        file_ = std::make_unique<FileWindow>(std::move(source));
    }

    // Reads `n` bytes at `pos` and checks count and bytes against the file.
    void ExpectRead(std::int64_t pos, std::size_t n) {
        Bytes got(n, 0xEE);
        const std::size_t count = file_->ReadAt(pos, got);
        const auto size = static_cast<std::int64_t>(contents_.size());
        const std::size_t expected =
            pos < 0 || pos >= size ? 0 : std::min(n, static_cast<std::size_t>(size - pos));
        ASSERT_EQ(count, expected) << "at " << pos << ", " << n << " bytes";
        if (count > 0) {
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(count),
                                   contents_.begin() + pos))
                << "at " << pos << ", " << n << " bytes";
        }
    }

    testing::TempDir dir_;
    Bytes contents_;
    std::unique_ptr<FileWindow> file_;
};

// The loader's pattern: every header of a track, then from the track's start
// again for each sector, tracks one after another. Track sizes run from
// a few bytes to more than a window, so the window both slides and jumps.
TEST_F(FileWindowTest, TrackWalksReadTheFileBytes) {
    Create(Scrambled(1100 * 1024));
    constexpr std::size_t kHeader = 16;
    std::int64_t track = 688;
    for (const std::size_t sector :
         std::initializer_list<std::size_t>{1024, 256, 128, 8192, 3000, 40000, 1024, 70000, 512}) {
        const std::size_t count = 8;
        for (std::size_t i = 0; i < count; ++i) {
            ExpectRead(track + static_cast<std::int64_t>(i * (kHeader + sector)), kHeader);
        }
        for (std::size_t s = count; s-- > 0;) {
            for (std::size_t i = 0; i <= s; ++i) {
                ExpectRead(track + static_cast<std::int64_t>(i * (kHeader + sector)), kHeader);
            }
            ExpectRead(track + static_cast<std::int64_t>(s * (kHeader + sector) + kHeader), sector);
        }
        track += static_cast<std::int64_t>(count * (kHeader + sector));
    }
    ASSERT_LT(track, static_cast<std::int64_t>(contents_.size()));
}

TEST_F(FileWindowTest, ScatteredReadsReadTheFileBytes) {
    Create(Scrambled(300 * 1024 + 77));
    std::mt19937 random(12345);
    const auto below = [&](long long limit) {
        return static_cast<long long>(random() % static_cast<unsigned long long>(limit));
    };
    const auto size = static_cast<long long>(contents_.size());
    long long pos = 0;
    for (int i = 0; i < 3000 && !HasFatalFailure(); ++i) {
        const long long kind = below(6);
        if (kind == 0) {  // anywhere, including just outside the file
            pos = below(size + 200) - 100;
        } else if (kind == 1) {  // a little back
            pos -= below(40000);
        } else {  // on, a little or up to a window ahead
            pos += below(kind == 2 ? 70000 : 2000);
        }
        const long long n = kind == 3 ? 64 * 1024 + below(5000) : below(3000);
        ExpectRead(pos, static_cast<std::size_t>(n));
        if (pos < 0 || pos > size) {
            pos = 0;
        }
    }
}

TEST_F(FileWindowTest, EndOfFileKeepsWhatTheWindowHolds) {
    Create(Scrambled(100000));
    ExpectRead(99000, 1000);  // the window now ends with the file
    ExpectRead(100000, 16);
    ExpectRead(99990, 100);
    ExpectRead(120000, 16);
    ExpectRead(-1, 16);
    ExpectRead(98000, 2000);
    ExpectRead(0, 100000);
    ExpectRead(5, 99995);

    Create(Bytes{});
    ExpectRead(0, 16);
}

}  // namespace
}  // namespace vorbex
