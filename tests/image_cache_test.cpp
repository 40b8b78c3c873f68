// The reader's cache: every read gets the image's own bytes whatever the
// order of the reads and however small the cache, and a failing source is
// never taken for the end of the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "image_cache.h"
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

// An image in memory whose reads fail where they reach the bytes from
// `failFrom` up to `failTo`, and that counts the reads it is asked for and
// those that fail.
class MemoryImage : public ImageSource {
  public:
    MemoryImage(const Bytes& bytes, std::uint64_t failFrom, std::uint64_t failTo, int& reads,
                int& failed)
        : bytes_(bytes), failFrom_(failFrom), failTo_(failTo), reads_(reads), failed_(failed) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        ++reads_;
        ReadResult result;
        while (result.count < dest.size() && offset + result.count < bytes_.size()) {
            if (offset + result.count >= failFrom_ && offset + result.count < failTo_) {
                ++failed_;
                result.error = std::make_error_code(std::errc::io_error);
                break;
            }
            dest[result.count] = bytes_[offset + result.count];
            ++result.count;
        }
        return result;
    }

  private:
    const Bytes& bytes_;
    std::uint64_t failFrom_;
    std::uint64_t failTo_;
    int& reads_;
    int& failed_;
};

constexpr std::size_t kUsualPages = ImageCache::kRingPages;

class ImageCacheTest : public ::testing::Test {
  protected:
    void Create(const Bytes& contents, std::size_t pages = kUsualPages,
                std::uint64_t failFrom = UINT64_MAX, std::uint64_t failTo = UINT64_MAX) {
        contents_ = contents;
        file_ = std::make_unique<ImageCache>(
            std::make_unique<MemoryImage>(contents_, failFrom, failTo, reads_, failed_), pages);
    }

    // Reads `n` bytes at `pos` and checks count and bytes against the file.
    void ExpectRead(std::int64_t pos, std::size_t n) {
        Bytes got(n, 0xEE);
        const std::size_t count = file_->ReadAt(pos, got);
        ASSERT_FALSE(file_->Error());
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

    Bytes contents_;
    int reads_ = 0;
    int failed_ = 0;
    std::unique_ptr<ImageCache> file_;
};

// The loader's pattern: every header of a track, then from the track's start
// again for each sector, tracks one after another. Track sizes run from
// a few bytes to more than a window, so the window both slides and jumps.
TEST_F(ImageCacheTest, TrackWalksReadTheImageBytes) {
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

// A cache of one page, of three and of the usual size.
class ScatteredReads : public ImageCacheTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ScatteredReads, ReadTheImageBytes) {
    Create(Scrambled(300 * 1024 + 77), GetParam());
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

INSTANTIATE_TEST_SUITE_P(CacheSizes, ScatteredReads, ::testing::Values(1, 3, kUsualPages));

TEST_F(ImageCacheTest, EndOfImageKeepsWhatTheCacheHolds) {
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

TEST_F(ImageCacheTest, FailedReadIsNotTheEndOfTheImage) {
    Create(Scrambled(100000), kUsualPages, 50000);
    Bytes got(30000);
    EXPECT_EQ(file_->ReadAt(10000, got), got.size());
    EXPECT_FALSE(file_->Error());
    // The read that fails keeps only whole pages it got; the bytes of the
    // page the failure cut into are not handed out, then or later.
    EXPECT_EQ(file_->ReadAt(45000, got), 49152u - 45000);
    EXPECT_EQ(file_->Error(), std::errc::io_error);
    EXPECT_EQ(file_->ReadAt(49152, std::span(got).first(16)), 0u);
    EXPECT_EQ(file_->ReadAt(60000, std::span(got).first(16)), 0u);
}

// On a failing disk every try may take seconds: a page whose read failed
// while the cache only read ahead is not read ahead into again.
TEST_F(ImageCacheTest, ReadAheadKeepsClearOfAFailedPage) {
    constexpr std::uint64_t kPage = ImageCache::kPageSize;
    Create(Scrambled(4 << 20), kUsualPages, 10 * kPage, 11 * kPage);
    ExpectRead(0, 16);
    ASSERT_EQ(failed_, 1) << "the first read reads ahead into page 10";
    ExpectRead(1 << 20, 3 << 20);  // pushes pages 0 to 9 out of the ring
    ExpectRead(2 * kPage, 16);
    EXPECT_EQ(failed_, 1);
}

TEST_F(ImageCacheTest, HeldPagesAreNotFetchedAgain) {
    Create(Scrambled(2 * 1024 * 1024));
    // A walk over a track whose headers stand 64 KiB apart, then its data
    // read back in another order, many times over.
    for (int pass = 0; pass < 20; ++pass) {
        for (std::int64_t i = 0; i < 16; ++i) {
            ExpectRead(i * 65551, 16);
        }
        for (std::int64_t i = 15; i >= 0; --i) {
            ExpectRead(i * 65551 + 16, 1024);
        }
    }
    EXPECT_LE(reads_, 16) << "the track is read once, in runs";
}

}  // namespace
}  // namespace vorbex
