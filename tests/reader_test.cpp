// The D88 reader against images built in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "d88_builder.h"
#include "reader_seam.h"
#include "test_support.h"
#include "vorbex/d88_reader.h"

namespace vorbex {
namespace {

using imagemaker::Disk;
using imagemaker::Sector;
using imagemaker::Track;
using testing::Bytes;

// Sector data whose every byte tells where it came from.
Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return data;
}

Sector MakeSector(int c, int h, int r, int n, std::size_t size, std::uint8_t seed) {
    return imagemaker::MakeSector(c, h, r, n, Pattern(size, seed));
}

// Track t of a plain disk: sectors 1..count of 256 bytes, seeded by t and r.
Track PlainTrack(int t, int count = 8) {
    Track track;
    for (int r = 1; r <= count; ++r) {
        track.sectors.push_back(
            MakeSector(t / 2, t % 2, r, 1, 256, static_cast<std::uint8_t>(t * 16 + r)));
    }
    return track;
}

Disk PlainDisk(const std::string& name, std::initializer_list<int> tracks) {
    Disk disk;
    disk.name = name;
    for (int t : tracks) {
        disk.tracks[t] = PlainTrack(t);
    }
    return disk;
}

class ReaderTest : public ::testing::Test {
  protected:
    // Writes `image` to a file and opens the reader on it.
    void OpenImage(const Bytes& image) {
        path_ = (dir_.path() / ("image" + std::to_string(files_++) + ".d88")).string();
        testing::WriteBytes(path_, image);
        ASSERT_TRUE(reader_.Open(path_.c_str()));
    }
    std::vector<int> Rs(int track) {
        SectorId ids[16];
        const int got = reader_.ReadTrackIds(track, ids);
        std::vector<int> rs;
        for (int i = 0; i < got / 4; ++i) {
            rs.push_back(ids[i].r);
        }
        return rs;
    }

    testing::TempDir dir_;
    std::string path_;
    int files_ = 0;
    D88Reader reader_;
};

TEST_F(ReaderTest, OpenCountsDisksAndReportsUnopenablePaths) {
    D88Reader reader;
    EXPECT_FALSE(reader.Open(""));
    EXPECT_FALSE(reader.Open((dir_.path() / "missing.d88").string().c_str()));
    EXPECT_FALSE(reader.Open(dir_.path().string().c_str())) << "a directory cannot be read";
    EXPECT_EQ(reader.GetDiskCount(), 0);

    OpenImage(Bytes(687, 0));
    EXPECT_EQ(reader_.GetDiskCount(), 0) << "no complete header";
    OpenImage(Bytes{});
    EXPECT_EQ(reader_.GetDiskCount(), 0);

    std::vector<Disk> seventy(70, PlainDisk("X", {0}));
    OpenImage(imagemaker::BuildImage(seventy));
    EXPECT_EQ(reader_.GetDiskCount(), 64);

    Disk zeroSize = PlainDisk("Z", {0});
    zeroSize.diskSize = 0;
    OpenImage(imagemaker::BuildDisk(zeroSize));
    EXPECT_EQ(reader_.GetDiskCount(), 64) << "a size of 0 repeats the same disk";
}

// An image of any size, made up as it is read: a disk header whose size
// field is `step`, repeated every `step` bytes.
class RepeatedDisk : public ImageSource {
  public:
    explicit RepeatedDisk(std::uint32_t step) : step_(step) {
        Disk disk = PlainDisk("BIG", {});
        disk.diskSize = step;
        header_ = imagemaker::BuildDisk(disk);
    }
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        for (std::size_t i = 0; i < dest.size(); ++i) {
            const std::uint64_t at = (offset + i) % step_;
            dest[i] = at < header_.size() ? header_[at] : 0;
        }
        return {dest.size(), {}};
    }

  private:
    std::uint64_t step_;
    Bytes header_;
};

TEST_F(ReaderTest, DiskWalkEndsWhereTheNextOffsetLeavesTheSignedRange) {
    for (const auto& [step, disks] :
         {std::pair{0x80000000u, 1}, {0xFFFFFFFFu, 1}, {0x7FFFFFF0u, 2}}) {
        D88Reader reader;
        ASSERT_TRUE(ReaderSeam::Open(reader, std::make_unique<RepeatedDisk>(step)));
        EXPECT_EQ(reader.GetDiskCount(), disks) << std::hex << step;
        EXPECT_TRUE(reader.SelectDisk(disks - 1));
        EXPECT_STREQ(reader.GetDiskName(), "BIG");
    }
}

TEST_F(ReaderTest, SelectDiskFindsEachDiskAtTheEndOfTheOneBefore) {
    Disk first = PlainDisk("FIRST", {5});
    first.mediaType = imagemaker::kMedia2D;
    Disk second = PlainDisk("SECOND", {5, 6});
    second.mediaType = imagemaker::kMedia2HD;
    OpenImage(imagemaker::BuildImage({first, second}));
    ASSERT_EQ(reader_.GetDiskCount(), 2);

    ASSERT_TRUE(reader_.SelectDisk(1));
    EXPECT_STREQ(reader_.GetDiskName(), "SECOND");
    EXPECT_EQ(reader_.GetMediaType(), 0x20);
    std::uint8_t data[256];
    ASSERT_EQ(reader_.ReadSector(6, 3, 0, 2, 1, std::span(data, 256)), 256);
    EXPECT_EQ(Bytes(data, data + 256), Pattern(256, 6 * 16 + 2));

    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_STREQ(reader_.GetDiskName(), "FIRST");
    EXPECT_EQ(reader_.GetMediaType(), 0);
    SectorId ids[16];
    EXPECT_EQ(reader_.ReadTrackIds(6, ids), 0) << "disk 0 has no track 6";
}

TEST_F(ReaderTest, FailedSelectionLeavesNoDiskSelected) {
    OpenImage(imagemaker::BuildDisk(PlainDisk("ONLY", {5})));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_FALSE(reader_.SelectDisk(1));
    EXPECT_FALSE(reader_.SelectDisk(-1));
    EXPECT_STREQ(reader_.GetDiskName(), "");
    EXPECT_EQ(reader_.GetMediaType(), -1);
    EXPECT_TRUE(Rs(5).empty());

    D88Reader closed;
    EXPECT_FALSE(closed.SelectDisk(0));
    EXPECT_EQ(closed.GetMediaType(), -1);
    SectorId ids[16];
    EXPECT_EQ(closed.ReadTrackIds(5, ids), 0);
}

TEST_F(ReaderTest, DiskNameKeepsSixteenBytesUpToTheFirstNul) {
    OpenImage(imagemaker::BuildDisk(PlainDisk("ABCDEFGHIJKLMNOPQ", {5})));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_STREQ(reader_.GetDiskName(), "ABCDEFGHIJKLMNOP");

    OpenImage(imagemaker::BuildDisk(PlainDisk(std::string("AB\0CD", 5), {5})));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_STREQ(reader_.GetDiskName(), "AB");
    EXPECT_EQ(std::memcmp(reader_.GetDiskName(), "AB\0\0\0", 5), 0);
}

TEST_F(ReaderTest, OpenWithoutPathClosesButKeepsTheSelection) {
    OpenImage(imagemaker::BuildDisk(PlainDisk("KEPT", {5})));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_TRUE(reader_.Open());
    EXPECT_EQ(reader_.GetDiskCount(), 0);
    EXPECT_EQ(reader_.GetMediaType(), -1);
    EXPECT_STREQ(reader_.GetDiskName(), "KEPT");
    EXPECT_TRUE(Rs(5).empty()) << "no file to read from";
    EXPECT_FALSE(reader_.SelectDisk(0));
}

TEST_F(ReaderTest, SecondOpenReadsTheNewFileWithTheEarlierTrackTable) {
    OpenImage(imagemaker::BuildDisk(PlainDisk("ONE", {5})));
    ASSERT_TRUE(reader_.SelectDisk(0));
    // Same layout, other contents: the old table points at the new data.
    Disk other = PlainDisk("TWO", {5});
    for (Sector& s : other.tracks[5].sectors) {
        s.r = static_cast<std::uint8_t>(s.r + 100);
    }
    OpenImage(imagemaker::BuildDisk(other));
    EXPECT_EQ(Rs(5), (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108}));
}

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST_F(ReaderTest, OpeningAnotherFileClosesTheFirst) {
    const std::size_t before = OpenDescriptors();
    OpenImage(imagemaker::BuildDisk(PlainDisk("A", {5})));
    EXPECT_EQ(OpenDescriptors(), before + 1);
    OpenImage(imagemaker::BuildDisk(PlainDisk("B", {5})));
    EXPECT_EQ(OpenDescriptors(), before + 1);
    EXPECT_FALSE(reader_.Open((dir_.path() / "missing").string().c_str()));
    EXPECT_EQ(OpenDescriptors(), before) << "a failed open leaves the reader closed";
    EXPECT_FALSE(reader_.SelectDisk(0));
}

TEST_F(ReaderTest, UnreachableTracksGiveNothing) {
    Disk disk = PlainDisk("T", {5, 6, 7});
    const Bytes built = imagemaker::BuildDisk(disk);
    const std::uint32_t size = static_cast<std::uint32_t>(built.size());
    disk.trackOffsets[5] = 0;
    disk.trackOffsets[6] = size + 1;
    disk.trackOffsets[7] = 0x80000010u;
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));
    std::uint8_t data[256];
    for (int t : {-1, 0, 5, 6, 7, 164, 1000}) {
        EXPECT_TRUE(Rs(t).empty()) << t;
        EXPECT_EQ(reader_.ReadSector(t, t / 2, t % 2, 1, 1, std::span(data, 256)), 0) << t;
    }
}

TEST_F(ReaderTest, TrackAtExactlyTheDiskSizeIsStillFollowed) {
    Disk disk = PlainDisk("EDGE", {5});
    const std::uint32_t offset =
        static_cast<std::uint32_t>(imagemaker::kDiskHeaderSize);  // track 5 starts here
    disk.diskSize = offset;
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_EQ(Rs(5).size(), 8u);
}

TEST_F(ReaderTest, IdListingStopsAtTheRoomTheCountOrTheEndOfTheFile) {
    Disk disk = PlainDisk("IDS", {5});
    disk.tracks[9] = PlainTrack(9, 20);
    for (Sector& s : disk.tracks[9].sectors) {
        s.sectorCount = 0;  // never ends the listing
    }
    disk.tracks[10] = PlainTrack(10, 8);
    for (Sector& s : disk.tracks[10].sectors) {
        s.sectorCount = 3;
    }
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));

    SectorId ids[20];
    const std::span<SectorId> sixteen(ids, 16);
    EXPECT_EQ(reader_.ReadTrackIds(5, sixteen), 32);
    EXPECT_EQ(std::vector<std::uint8_t>(
                  {ids[0].c, ids[0].h, ids[0].r, ids[0].n, ids[1].c, ids[1].h, ids[1].r, ids[1].n}),
              (std::vector<std::uint8_t>{2, 1, 1, 1, 2, 1, 2, 1}));
    EXPECT_EQ(reader_.ReadTrackIds(5, sixteen.first(4)), 16);
    EXPECT_EQ(reader_.ReadTrackIds(9, sixteen), 64);
    EXPECT_EQ(reader_.ReadTrackIds(10, sixteen), 12);
    EXPECT_EQ(reader_.ReadTrackIds(5, sixteen.first(0)), 0);
}

TEST_F(ReaderTest, HeaderCutShortEndsTheTrackWalk) {
    Disk disk;
    disk.tracks[5] = PlainTrack(5, 3);
    for (Sector& s : disk.tracks[5].sectors) {
        s.sectorCount = 0;
    }
    disk.tracks[5].sectors[2].data.clear();
    disk.tracks[5].sectors[2].dataSize = 0;
    Bytes image = imagemaker::BuildDisk(disk);
    // Keep the first two sectors whole and half of the third header.
    image.resize(image.size() - 8);
    OpenImage(image);
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_EQ(Rs(5), (std::vector<int>{1, 2}));
    std::uint8_t data[256];
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 3, 1, std::span(data, 256)), 0)
        << "no match on a cut header";
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 2, 1, std::span(data, 256)), 0)
        << "a sector count of 0 ends the sector search";
}

TEST_F(ReaderTest, ReadSectorCopiesTheFirstMatchLoweredToTheRequest) {
    Disk disk;
    Track& track = disk.tracks[5];
    track.sectors = {MakeSector(2, 1, 3, 1, 256, 30), MakeSector(2, 1, 1, 1, 100, 10),
                     MakeSector(2, 1, 1, 1, 256, 99), MakeSector(2, 1, 2, 2, 512, 20)};
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));

    std::uint8_t data[600];
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 1, 1, std::span(data, 600)), 100) << "data size, not N";
    EXPECT_EQ(Bytes(data, data + 100), Pattern(100, 10)) << "the first match wins";
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 2, 2, std::span(data, 50)), 50);
    EXPECT_EQ(Bytes(data, data + 50), Pattern(50, 20));
    // Of a sector much larger than the part read, that part is kept: a
    // longer read must not be served from it.
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 2, 2, std::span(data, 200)), 200);
    EXPECT_EQ(Bytes(data, data + 200), Pattern(200, 20));
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 3, 1, std::span(data, 0)), 0);
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 4, 1, std::span(data, 600)), 0) << "no such R";
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 3, 2, std::span(data, 600)), 0) << "N must match too";
    EXPECT_EQ(reader_.ReadSector(5, 2 + 256, 1, 3, 1, std::span(data, 600)), 0);
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, -253, 1, std::span(data, 600)), 0);
}

TEST_F(ReaderTest, SectorSearchStopsAtTheCountOfTheHeaderItReads) {
    Disk disk;
    disk.tracks[5] = PlainTrack(5, 4);
    disk.tracks[5].sectors[1].sectorCount = 2;  // the walk ends after sector 2
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));
    std::uint8_t data[256];
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 2, 1, std::span(data, 256)), 256);
    EXPECT_EQ(reader_.ReadSector(5, 2, 1, 3, 1, std::span(data, 256)), 0);
}

TEST_F(ReaderTest, DataCutShortKeepsItsCountAndReadsAsZeros) {
    Disk disk;
    disk.tracks[5].sectors = {MakeSector(2, 1, 1, 1, 256, 40)};
    Bytes image = imagemaker::BuildDisk(disk);
    image.resize(image.size() - 56);  // 200 of 256 data bytes remain
    OpenImage(image);
    ASSERT_TRUE(reader_.SelectDisk(0));
    Bytes data(256, 0xAA);
    ASSERT_EQ(reader_.ReadSector(5, 2, 1, 1, 1, std::span(data.data(), 256)), 256);
    const Bytes whole = Pattern(256, 40);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 200, whole.begin()));
    EXPECT_TRUE(std::all_of(data.begin() + 200, data.end(), [](auto b) { return b == 0; }));
}

// Three 2HD-style tracks of eight 1024-byte sectors, R 1..8.
class RunTest : public ReaderTest {
  protected:
    void SetUp() override {
        Disk disk;
        for (int t = 10; t <= 12; ++t) {
            for (int r = 1; r <= 8; ++r) {
                disk.tracks[t].sectors.push_back(
                    MakeSector(t / 2, t % 2, r, 3, 1024, static_cast<std::uint8_t>(t * 8 + r)));
            }
        }
        OpenImage(imagemaker::BuildDisk(disk));
        ASSERT_TRUE(reader_.SelectDisk(0));
        reader_.SetSectorRange(1, 8);
    }
    Bytes Sector(int t, int r) { return Pattern(1024, static_cast<std::uint8_t>(t * 8 + r)); }
};

TEST_F(RunTest, RunMovesToTheOtherHeadAndThenTheNextCylinder) {
    Bytes data(3072);
    ASSERT_EQ(reader_.ReadSectors(10, 5, 0, 8, 3, std::span(data.data(), 3072)), 3072);
    Bytes expected = Sector(10, 8);
    for (int r : {1, 2}) {
        const Bytes next = Sector(11, r);
        expected.insert(expected.end(), next.begin(), next.end());
    }
    EXPECT_EQ(data, expected) << "(5,0,8) then (5,1,1) and (5,1,2) on the next track";

    ASSERT_EQ(reader_.ReadSectors(11, 5, 1, 8, 3, std::span(data.data(), 3072)), 3072);
    expected = Sector(11, 8);
    for (int r : {1, 2}) {
        const Bytes next = Sector(12, r);
        expected.insert(expected.end(), next.begin(), next.end());
    }
    EXPECT_EQ(data, expected) << "(5,1,8) then (6,0,1) and (6,0,2)";
}

TEST_F(RunTest, RunCountsOnlyWholeStepsAndStopsAtAMissingSector) {
    Bytes data(4096);
    EXPECT_EQ(reader_.ReadSectors(10, 5, 0, 7, 3, std::span(data.data(), 2500)), 2500)
        << "the last step is lowered to the rest of the request";
    EXPECT_EQ(reader_.ReadSectors(12, 6, 0, 7, 3, std::span(data.data(), 4096)), 2048)
        << "track 13 does not exist";
    EXPECT_EQ(reader_.ReadSectors(10, 5, 0, 1, 2, std::span(data.data(), 1024)), 0)
        << "N=2 finds nothing";
    EXPECT_EQ(reader_.ReadSectors(10, 5, 0, 1, 3, std::span(data.data(), 0)), 0);
    EXPECT_EQ(reader_.ReadSectors(163, 81, 1, 1, 3, std::span(data.data(), 1024)), 0);
}

TEST_F(RunTest, HugeSizeCodesReadTheRestOfTheRequestInOneStep) {
    Bytes data(1024);
    // No 1024-byte sector has N=30, so nothing is found, but nothing
    // overflows either; with a matching N the step is the whole request.
    EXPECT_EQ(reader_.ReadSectors(10, 5, 0, 1, 30, std::span(data.data(), 1024)), 0);
    Disk disk;
    disk.tracks[5].sectors = {MakeSector(2, 1, 1, 40, 700, 1)};
    OpenImage(imagemaker::BuildDisk(disk));
    ASSERT_TRUE(reader_.SelectDisk(0));
    EXPECT_EQ(reader_.ReadSectors(5, 2, 1, 1, 40, std::span(data.data(), 600)), 600);
    EXPECT_EQ(reader_.ReadSectors(5, 2, 1, 1, 40, std::span(data.data(), 1000)), 0)
        << "700 bytes are less than the 1000-byte step";
}

}  // namespace
}  // namespace vorbex
