// Loading disks into the image buffer, and the names of the output files.
#include <gtest/gtest.h>

#include <algorithm>

#include "d88_builder.h"
#include "extract.h"
#include "load_disk.h"
#include "reader_seam.h"
#include "test_support.h"

namespace vorbex {
namespace {

using imagemaker::Disk;
using imagemaker::Sector;
using testing::Bytes;

Sector Filled(int c, int h, int r, int n, std::size_t size, std::uint8_t value) {
    return imagemaker::MakeSector(c, h, r, n, Bytes(size, value));
}

// A track whose sectors, listed in `order`, each hold their own R value.
imagemaker::Track Numbered(int t, std::initializer_list<int> order, int n = 3) {
    imagemaker::Track track;
    for (int r : order) {
        track.sectors.push_back(
            Filled(t / 2, t % 2, r, n, std::size_t{128} << n, static_cast<std::uint8_t>(r)));
    }
    return track;
}

class LoaderTest : public ::testing::Test {
  protected:
    void Open(const std::vector<Disk>& disks) {
        const auto path = dir_.path() / "image.d88";
        testing::WriteBytes(path, imagemaker::BuildImage(disks));
        ASSERT_TRUE(reader_.Open(path.string().c_str()));
    }
    // Value of the first byte of each 1024-byte block, up to `blocks`.
    std::vector<int> BlockMarks(std::size_t blocks) const {
        std::vector<int> marks;
        for (std::size_t b = 0; b < blocks; ++b) {
            marks.push_back(buffer_->Bytes()[b * 1024]);
        }
        return marks;
    }

    testing::TempDir dir_;
    D88Reader reader_;
    std::unique_ptr<ImageBuffer> buffer_ = ImageBuffer::Create();
};

TEST(SortIds, StableAscendingByUnsignedSectorNumber) {
    SectorId ids[] = {{1, 0, 200, 3}, {2, 0, 3, 3}, {3, 0, 1, 3}, {4, 0, 3, 3}, {5, 0, 1, 3}};
    SortIdsBySectorNumber(ids);
    std::vector<int> order;
    for (const SectorId& id : ids) {
        order.push_back(id.c);
    }
    EXPECT_EQ(order, (std::vector<int>{3, 5, 2, 4, 1}));
}

TEST_F(LoaderTest, TracksLoadInOrderWithSectorsSortedByNumber) {
    Disk disk;
    disk.tracks[4] = Numbered(4, {9});  // never read
    disk.tracks[5] = Numbered(5, {3, 1, 2});
    disk.tracks[7] = Numbered(7, {5, 4});
    disk.tracks[152] = Numbered(152, {7});
    disk.tracks[153] = Numbered(153, {8});  // never read
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 6u * 1024);
    EXPECT_EQ(BlockMarks(7), (std::vector<int>{1, 2, 3, 4, 5, 7, 0}));
}

TEST_F(LoaderTest, OnlyTheFirstSixteenHeadersOfATrackAreLoaded) {
    Disk disk;
    disk.tracks[5] = Numbered(5, {26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                                  13, 12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1},
                              1);
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 16u * 256);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(buffer_->Bytes()[static_cast<std::size_t>(i) * 256], 11 + i);
    }
}

TEST_F(LoaderTest, ShortAndMissingSectorsLeaveNoGap) {
    Disk disk;
    disk.tracks[5].sectors = {Filled(2, 1, 1, 3, 100, 1),  // shorter than N says
                              Filled(2, 1, 2, 0, 256, 2),  // longer: N=0 asks for 128
                              Filled(2, 1, 3, 3, 0, 3),    // no data at all
                              Filled(2, 1, 4, 3, 1024, 4)};
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 100u + 128 + 1024);
    EXPECT_EQ(buffer_->Bytes()[99], 1);
    EXPECT_EQ(buffer_->Bytes()[100], 2);
    EXPECT_EQ(buffer_->Bytes()[227], 2);
    EXPECT_EQ(buffer_->Bytes()[228], 4);
}

TEST_F(LoaderTest, IdenticalIdsLoadTheFirstMatchTwice) {
    Disk disk;
    disk.tracks[5].sectors = {Filled(2, 1, 1, 3, 1024, 0xA1), Filled(2, 1, 1, 3, 1024, 0xB2),
                              Filled(2, 1, 1, 2, 512, 0xC3)};
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 2u * 1024 + 512);
    EXPECT_EQ(buffer_->Bytes()[0], 0xA1);
    EXPECT_EQ(buffer_->Bytes()[1024], 0xA1);
    EXPECT_EQ(buffer_->Bytes()[2048], 0xC3) << "equal R keeps the listed order";
}

TEST_F(LoaderTest, SecondDiskLeavesTheFirstDisksLaterDataInPlace) {
    Disk big;
    Disk small;
    for (int t = 5; t <= 152; ++t) {
        big.tracks[t] = Numbered(t, {1, 2, 3, 4, 5, 6, 7, 8});
    }
    small.tracks[5].sectors = {Filled(2, 1, 1, 3, 1024, 0xEE)};
    Open({big, small});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 148u * 8 * 1024);
    EXPECT_EQ(LoadDisk(reader_, 1, *buffer_), 1024u);
    EXPECT_EQ(BlockMarks(3), (std::vector<int>{0xEE, 2, 3}));
    EXPECT_EQ(LoadDisk(reader_, 2, *buffer_), 0u) << "a failed selection loads nothing";
    EXPECT_EQ(BlockMarks(1), (std::vector<int>{0xEE}));
}

TEST_F(LoaderTest, DataBeyondTheBufferIsCutOff) {
    Disk disk;
    // Ten tracks of 128 KiB already hold more than the buffer.
    for (int t = 5; t <= 14; ++t) {
        for (int r = 1; r <= 16; ++r) {
            disk.tracks[t].sectors.push_back(
                Filled(t / 2, t % 2, r, 6, 8192, static_cast<std::uint8_t>(t)));
        }
    }
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), ImageBuffer::kSize);
    EXPECT_EQ(buffer_->Bytes().size(), ImageBuffer::kSize);
    EXPECT_EQ(buffer_->Bytes().back(), 5 + ImageBuffer::kSize / (16 * 8192));
}

TEST_F(LoaderTest, HugeSizeCodesAskForTheRoomLeft) {
    Disk disk;
    disk.tracks[5].sectors = {Filled(2, 1, 1, 24, 3000, 7), Filled(2, 1, 2, 255, 5, 8)};
    Open({disk});
    EXPECT_EQ(LoadDisk(reader_, 0, *buffer_), 3005u);
    EXPECT_EQ(buffer_->Bytes()[3004], 8);
}

// An image in memory whose reads fail at the page holding byte `failAt`,
// and that counts the reads that fail.
class FailingImage : public ImageSource {
  public:
    FailingImage(Bytes bytes, std::size_t failAt, int& failed)
        : bytes_(std::move(bytes)), failAt_(failAt / 4096 * 4096), failed_(failed) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        ReadResult result;
        for (; result.count < dest.size() && offset + result.count < bytes_.size();
             ++result.count) {
            if (offset + result.count >= failAt_ && offset + result.count < failAt_ + 4096) {
                ++failed_;
                result.error = std::make_error_code(std::errc::io_error);
                break;
            }
            dest[result.count] = bytes_[offset + result.count];
        }
        return result;
    }

  private:
    Bytes bytes_;
    std::size_t failAt_;
    int& failed_;
};

TEST_F(LoaderTest, LoadStopsAtAFailedReadWhichTheReaderReports) {
    Disk disk;
    for (int t = 5; t <= 152; ++t) {
        disk.tracks[t] = Numbered(t, {1, 2, 3, 4, 5, 6, 7, 8});
    }
    const Bytes image = imagemaker::BuildDisk(disk);
    int failed = 0;
    D88Reader reader;
    ASSERT_TRUE(
        ReaderSeam::Open(reader, std::make_unique<FailingImage>(image, image.size() / 2, failed)));
    EXPECT_FALSE(reader.GetReadError());
    const std::size_t loaded = LoadDisk(reader, 0, *buffer_);
    EXPECT_EQ(reader.GetReadError().reason, std::errc::io_error);
    EXPECT_LT(loaded, image.size() / 2);
    // Once when reading ahead, once when the load needs it.
    EXPECT_LE(failed, 2) << "the load goes on after the failure";

    // The same bytes cut off there instead load up to the cut, with no error.
    D88Reader cut;
    ASSERT_TRUE(ReaderSeam::Open(
        cut,
        std::make_unique<FailingImage>(
            Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(image.size() / 2)),
            image.size(), failed)));
    EXPECT_GE(LoadDisk(cut, 0, *buffer_), loaded);
    EXPECT_FALSE(cut.GetReadError());
}

TEST(OutputNames, HaveAtLeastThreeDigits) {
    EXPECT_EQ(OutputName(0), "ZT000");
    EXPECT_EQ(OutputName(42), "ZT042");
    EXPECT_EQ(OutputName(999), "ZT999");
    EXPECT_EQ(OutputName(1000), "ZT1000");
}

}  // namespace
}  // namespace vorbex
