// Finding embedded files in buffers: the signature, the length rule and the
// end of the buffer.
#include <gtest/gtest.h>

#include <initializer_list>

#include "embedded_files.h"
#include "test_support.h"

namespace vorbex {
namespace {

using testing::Bytes;

constexpr std::size_t kBlock = 1024;
// The image buffer the command scans: 1232 blocks.
constexpr std::size_t kBufferBlocks = 1232;
constexpr std::size_t kBufferSize = kBufferBlocks * kBlock;

// A buffer of `blocks` blocks whose tails are all non-zero, so no block ends
// a file unless a test says so.
Bytes Blocks(std::size_t blocks) {
    Bytes data(blocks * kBlock, 0);
    for (std::size_t b = 0; b < blocks; ++b) {
        data[b * kBlock + kBlock - 1] = 0x55;
    }
    return data;
}

void SetWords(Bytes& data, std::size_t block, std::initializer_list<unsigned> words) {
    std::size_t at = block * kBlock;
    for (unsigned w : words) {
        data[at++] = static_cast<std::uint8_t>(w);
        data[at++] = static_cast<std::uint8_t>(w >> 8);
    }
}

void ZeroTail(Bytes& data, std::size_t block) {
    for (std::size_t i = kBlock - 3; i < kBlock; ++i) {
        data[block * kBlock + i] = 0;
    }
}

void Header(Bytes& data, std::size_t block, unsigned w5) {
    SetWords(data, block, {0x10, 0x20, 0x30, 0x40, 0x50, w5});
}

std::vector<std::pair<std::size_t, std::size_t>> Found(const Bytes& data) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    for (const EmbeddedFile& f : FindEmbeddedFiles(data)) {
        found.emplace_back(f.offset / kBlock, f.length / kBlock);
    }
    return found;
}

using Files = std::vector<std::pair<std::size_t, std::size_t>>;

TEST(Signature, NeedsSixAscendingWordsAfterASmallMultipleOfSixteen) {
    const auto passes = [](std::initializer_list<unsigned> words) {
        Bytes block(12, 0);
        std::size_t at = 0;
        for (unsigned w : words) {
            block[at++] = static_cast<std::uint8_t>(w);
            block[at++] = static_cast<std::uint8_t>(w >> 8);
        }
        return PassesSignature(std::span<const std::uint8_t, 12>(block.data(), 12));
    };
    EXPECT_TRUE(passes({0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    EXPECT_TRUE(passes({0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005}));
    EXPECT_TRUE(passes({0x0FF0, 0x1000, 0x7FFF, 0x8000, 0xFFFE, 0xFFFF})) << "unsigned order";
    EXPECT_FALSE(passes({0, 0, 0, 0, 0, 0}));
    // Each bit that must be clear in w0, set alone.
    for (unsigned bit : {0x0001u, 0x0002u, 0x0004u, 0x0008u, 0x1000u, 0x2000u, 0x4000u, 0x8000u}) {
        EXPECT_FALSE(passes({bit, 0xFFF0, 0xFFF1, 0xFFF2, 0xFFF3, 0xFFF4})) << std::hex << bit;
    }
    EXPECT_FALSE(passes({0x10, 0x20, 0x20, 0x40, 0x50, 0x60}));
    EXPECT_FALSE(passes({0x10, 0x20, 0x30, 0x40, 0x60, 0x50}));
    EXPECT_FALSE(passes({0x10, 0x20, 0x30, 0x40, 0x50, 0x50}));
}

TEST(LengthRule, FileEndsAtTheFirstZeroTailFromW5OverKilobytesOn) {
    Bytes data = Blocks(40);
    Header(data, 0, 0x60);  // k starts at 0
    ZeroTail(data, 0);
    Header(data, 2, 0x60);
    ZeroTail(data, 3);
    Header(data, 6, 0x400);  // k starts at 1: block 6's zero tail is skipped
    ZeroTail(data, 6);
    ZeroTail(data, 7);
    Header(data, 10, 0xC00);  // k starts at 3
    ZeroTail(data, 10);
    ZeroTail(data, 11);
    ZeroTail(data, 13);
    Header(data, 20, 0x2C00);  // k starts at 11, the last block a file may have
    ZeroTail(data, 31);
    EXPECT_EQ(Found(data), (Files{{0, 1}, {2, 2}, {6, 2}, {10, 4}, {20, 12}}));
}

TEST(LengthRule, NoEndWithinTwelveBlocksMeansNoFile) {
    Bytes data = Blocks(40);
    Header(data, 0, 0x60);  // tails of blocks 0..11 all non-zero
    ZeroTail(data, 12);
    Header(data, 20, 0x3000);  // k starts at 12
    ZeroTail(data, 32);
    Header(data, 25, 0x2C00);  // k = 11: block 36 would be the twelfth block, its tail is not zero
    EXPECT_EQ(Found(data), Files{});
}

TEST(LengthRule, BlocksInsideAFileAreScannedToo) {
    Bytes data = Blocks(20);
    Header(data, 1, 0x800);  // 3 blocks: 1..3
    Header(data, 2, 0x60);   // inside the first file
    ZeroTail(data, 3);
    EXPECT_EQ(Found(data), (Files{{1, 3}, {2, 2}}));
}

TEST(BufferEnd, LastEightBlocksNeverStartAFile) {
    Bytes data(kBufferSize, 0);
    for (std::size_t b = 1220; b < kBufferBlocks; ++b) {
        Header(data, b, 0x60);  // zero tails: every one of these would be a 1-block file
    }
    EXPECT_EQ(Found(data), (Files{{1220, 1}, {1221, 1}, {1222, 1}, {1223, 1}}));
}

TEST(BufferEnd, CandidateWhoseEndSearchLeavesTheBufferIsDropped) {
    Bytes data = Blocks(kBufferBlocks);
    Header(data, 1221,
           0x60);  // blocks 1221..1231 have non-zero tails: the search would need block 1232
    Header(data, 1223, 0x2000);  // k = 8 is block 1231: non-zero, then past the end
    EXPECT_EQ(Found(data), Files{});
    ZeroTail(data, 1231);
    EXPECT_EQ(Found(data), (Files{{1221, 11}, {1223, 9}}));
}

TEST(BufferEnd, SmallBuffersAreSafe) {
    EXPECT_TRUE(FindEmbeddedFiles({}).empty());
    Bytes data = Blocks(9);
    Header(data, 0, 0x60);
    ZeroTail(data, 0);
    EXPECT_EQ(Found(data), (Files{{0, 1}}));
    data.resize(9 * kBlock - 1);  // only 8 whole blocks: none may start a file
    EXPECT_EQ(Found(data), Files{});
}

}  // namespace
}  // namespace vorbex
