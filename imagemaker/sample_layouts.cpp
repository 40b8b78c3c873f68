#include "sample_layouts.h"

#include <algorithm>

#include "d88_builder.h"

namespace vorbex::imagemaker {

namespace {

constexpr std::size_t kBlock = 1024;
constexpr int kFirstLoaded = 5;
constexpr int kLastLoaded = 152;
constexpr int kTracks2HD = 154;

// A small fixed generator, so every build makes the same images.
class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int limit) { return static_cast<int>(Next() % static_cast<std::uint32_t>(limit)); }
    void Fill(std::uint8_t* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            data[i] = static_cast<std::uint8_t>(Next() >> 24);
        }
    }

  private:
    std::uint32_t state_;
};

// Ordinary data: the first byte is odd, so no block starts a file, and the
// last byte is non-zero, so no block ends one.
void FillPlainBlock(Random& random, std::uint8_t* block) {
    random.Fill(block, kBlock);
    block[0] |= 1;
    block[kBlock - 1] |= 0x80;
}

// Writes an embedded file of `blocks` blocks at `file`. Its header makes the
// end search start at a random block of the file; the last block ends it.
void WriteEmbeddedFile(Random& random, std::uint8_t* file, int blocks) {
    for (int i = 0; i < blocks; ++i) {
        FillPlainBlock(random, file + kBlock * static_cast<std::size_t>(i));
    }
    const int searchFrom = random.Below(blocks);
    unsigned words[6];
    words[0] = 16u * static_cast<unsigned>(1 + random.Below(15));
    for (int k = 1; k < 5; ++k) {
        words[k] = words[k - 1] + 1 + static_cast<unsigned>(random.Below(64));
    }
    words[5] = static_cast<unsigned>(searchFrom) * 1024u + 0x300u +
               static_cast<unsigned>(random.Below(0x100));
    for (int k = 0; k < 6; ++k) {
        file[2 * k] = static_cast<std::uint8_t>(words[k]);
        file[2 * k + 1] = static_cast<std::uint8_t>(words[k] >> 8);
    }
    std::uint8_t* last = file + kBlock * static_cast<std::size_t>(blocks - 1);
    std::fill(last + kBlock - 3, last + kBlock, std::uint8_t{0});
}

// The data of tracks 5 to 152 as the tool gathers it: filler with `files`
// embedded files spread over it.
std::vector<std::uint8_t> MakeLoadedData(Random& random, std::size_t size, int files) {
    std::vector<std::uint8_t> data(size);
    const std::size_t blocks = size / kBlock;
    for (std::size_t b = 0; b < blocks; ++b) {
        FillPlainBlock(random, data.data() + kBlock * b);
    }
    std::size_t at = 2;
    for (int i = 0; i < files; ++i) {
        const int length = 1 + random.Below(8);
        if (at + static_cast<std::size_t>(length) + 1 >= blocks) {
            break;
        }
        WriteEmbeddedFile(random, data.data() + kBlock * at, length);
        at += static_cast<std::size_t>(length + 1 + random.Below(16));
    }
    return data;
}

// A 2HD disk of 154 tracks of eight 1024-byte sectors stored interleaved.
Disk Make2HDDisk(std::uint32_t seed, const std::string& name, int files) {
    Random random(seed);
    constexpr int kSectors = 8;
    const std::vector<std::uint8_t> order = {1, 4, 7, 2, 5, 8, 3, 6};
    const std::size_t trackBytes = kSectors * kBlock;
    const std::vector<std::uint8_t> loaded = MakeLoadedData(
        random, trackBytes * static_cast<std::size_t>(kLastLoaded - kFirstLoaded + 1), files);
    Disk disk;
    disk.name = name;
    disk.mediaType = kMedia2HD;
    for (int t = 0; t < kTracks2HD; ++t) {
        disk.tracks[t] = MakeTrack(t, 3, order, [&](std::uint8_t r, std::vector<std::uint8_t>& d) {
            if (t < kFirstLoaded || t > kLastLoaded) {
                random.Fill(d.data(), d.size());
                return;
            }
            const std::size_t from = trackBytes * static_cast<std::size_t>(t - kFirstLoaded) +
                                     kBlock * static_cast<std::size_t>(r - 1);
            std::copy_n(loaded.begin() + static_cast<std::ptrdiff_t>(from), kBlock, d.begin());
        });
    }
    return disk;
}

// 26 sectors of 256 bytes a track, as 2HD disks formatted for 8-inch drives.
Disk Make2HD256Disk(std::uint32_t seed) {
    Random random(seed);
    std::vector<std::uint8_t> order;
    for (int r = 1; r <= 26; ++r) {
        order.push_back(static_cast<std::uint8_t>(1 + (r * 7) % 26));
    }
    Disk disk;
    disk.name = "VORBEX 26x256";
    for (int t = 0; t < kTracks2HD; ++t) {
        disk.tracks[t] = MakeTrack(t, 1, order, [&](std::uint8_t, std::vector<std::uint8_t>& d) {
            random.Fill(d.data(), d.size());
        });
    }
    return disk;
}

// Every track holds 16 sector headers whose sector count is 0, with the
// sector numbers in reverse: the ID listing runs to 16 and every sector
// search ends at the first header.
Disk MakeHostileDisk(std::uint32_t seed) {
    Random random(seed);
    std::vector<std::uint8_t> order;
    for (int r = 16; r >= 1; --r) {
        order.push_back(static_cast<std::uint8_t>(r));
    }
    Disk disk;
    disk.name = "VORBEX HOSTILE";
    for (int t = 0; t < kTrackCount; ++t) {
        Track track = MakeTrack(t, 3, order, [&](std::uint8_t, std::vector<std::uint8_t>& d) {
            random.Fill(d.data(), d.size());
        });
        for (Sector& sector : track.sectors) {
            sector.sectorCount = 0;
        }
        disk.tracks[t] = std::move(track);
    }
    return disk;
}

// Sixteen sectors a track whose data is far larger than the size code says,
// so that each track spreads its headers thinly over the image: `dataSize`
// bytes apart, in descending sector-number order. The load reads only the
// first 128 << n bytes of each sector.
Track SparseTrack(Random& random, int cylinder, std::uint8_t n, std::uint16_t dataSize) {
    Track track;
    for (int r = 16; r >= 1; --r) {
        Sector sector = MakeSector(cylinder, 0, r, n, std::vector<std::uint8_t>(dataSize));
        random.Fill(sector.data.data(), sector.data.size());
        track.sectors.push_back(std::move(sector));
    }
    return track;
}

// Two disks, each holding `tracks` sparse tracks stored one after another;
// the track table's entries take them in turn, over and over.
std::vector<std::uint8_t> MakeSharedSparse(int tracks, std::uint8_t n) {
    constexpr std::uint16_t kDataSize = 65535;
    constexpr std::uint32_t kTrackBytes = 16 * (kSectorHeaderSize + kDataSize);
    std::vector<Disk> disks(2);
    for (int d = 0; d < 2; ++d) {
        Random random(static_cast<std::uint32_t>(20 + d));
        Disk& disk = disks[static_cast<std::size_t>(d)];
        disk.name = "VORBEX SPARSE";
        for (int t = 0; t < tracks; ++t) {
            disk.tracks[t] = SparseTrack(random, t, n, kDataSize);
        }
        for (int t = tracks; t < kTrackCount; ++t) {
            disk.trackOffsets[t] = static_cast<std::uint32_t>(kDiskHeaderSize) +
                                   static_cast<std::uint32_t>(t % tracks) * kTrackBytes;
        }
    }
    return BuildImage(disks);
}

// Two disks that load the same sectors. A track offset counts from its own
// disk's header and may not pass the disk's size, which is the step to the
// next disk, so the first disk cannot point at the second disk's tracks; but
// a sector's data may run on past the end of its disk. Disk 1 holds 148
// tracks of 16 sectors of 16 KiB (N = 0, stored R 16 to 1), the k-th sectors
// of all tracks side by side; each track of disk 0 is one sector header
// (R 17) whose data runs on to the first header of the same track of disk 1.
std::vector<std::uint8_t> MakeCrossDisk() {
    constexpr std::size_t kTracks = kLastLoaded - kFirstLoaded + 1;
    constexpr std::size_t kDataSize = 16384;
    constexpr std::size_t kStride = kSectorHeaderSize + kDataSize;  // from one k to the next
    constexpr std::size_t kSecond = kDiskHeaderSize + kTracks * kSectorHeaderSize;
    constexpr std::size_t kFirstTrack = kSecond + kDiskHeaderSize;
    std::vector<std::uint8_t> image(kFirstTrack + 15 * kStride + kTracks * kSectorHeaderSize +
                                    kDataSize);
    Random random(30);
    random.Fill(image.data(), image.size());
    const auto header = [&](std::size_t at, int t, int r, std::size_t count, std::size_t size) {
        image[at] = static_cast<std::uint8_t>(t / 2);
        image[at + 1] = static_cast<std::uint8_t>(t % 2);
        image[at + 2] = static_cast<std::uint8_t>(r);
        image[at + 3] = 0;
        PutLe16(image, at + 4, static_cast<std::uint32_t>(count));
        PutLe16(image, at + 14, static_cast<std::uint32_t>(size));
    };
    for (std::size_t d = 0; d < 2; ++d) {
        const std::size_t disk = d == 0 ? 0 : kSecond;
        std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(disk), kDiskHeaderSize, 0);
        std::copy_n(d == 0 ? "VORBEX CROSS A" : "VORBEX CROSS B", 14,
                    image.begin() + static_cast<std::ptrdiff_t>(disk));
        image[disk + 0x1B] = kMedia2HD;
        PutLe32(image, disk + 0x1C,
                static_cast<std::uint32_t>(d == 0 ? kSecond : image.size() - kSecond));
        for (std::size_t i = 0; i < kTracks; ++i) {
            const int t = kFirstLoaded + static_cast<int>(i);
            const std::size_t first =
                (d == 0 ? kDiskHeaderSize : kFirstTrack) + i * kSectorHeaderSize;
            PutLe32(image, disk + 0x20 + 4 * static_cast<std::size_t>(t),
                    static_cast<std::uint32_t>(first - disk));
            if (d == 0) {
                header(first, t, 17, 17, kFirstTrack - kDiskHeaderSize - kSectorHeaderSize);
                continue;
            }
            for (std::size_t k = 0; k < 16; ++k) {
                header(first + k * kStride, t, 16 - static_cast<int>(k), 16, kDataSize);
            }
        }
    }
    return image;
}

// The sample's two disks with their tracks stored last to first: every track
// the load walks lies before the one it walked last.
std::vector<std::uint8_t> MakeReversed() {
    std::vector<Disk> disks = {Make2HDDisk(1, "VORBEX REVERSED A", 45),
                               Make2HDDisk(2, "VORBEX REVERSED B", 45)};
    for (Disk& disk : disks) {
        std::map<int, Track> reversed;
        std::uint32_t offset = static_cast<std::uint32_t>(kDiskHeaderSize);
        for (int t = kTracks2HD - 1; t >= 0; --t) {
            disk.trackOffsets[t] = offset;
            for (const Sector& sector : disk.tracks[t].sectors) {
                offset += static_cast<std::uint32_t>(kSectorHeaderSize + sector.data.size());
            }
            reversed[kTracks2HD - 1 - t] = std::move(disk.tracks[t]);
        }
        disk.tracks = std::move(reversed);
    }
    return BuildImage(disks);
}

// Two disks of 148 different tracks like spread's: 300 MB read thinly.
std::vector<std::uint8_t> MakeBigSparse() {
    std::vector<Disk> disks(2);
    Random random(40);
    for (Disk& disk : disks) {
        disk.name = "VORBEX BIG SPARSE";
        for (int t = kFirstLoaded; t <= kLastLoaded; ++t) {
            disk.tracks[t] = SparseTrack(random, t, 0, 65535);
        }
    }
    return BuildImage(disks);
}

std::vector<std::uint8_t> MakeTwoDisks(int filesPerDisk) {
    return BuildImage({Make2HDDisk(1, "VORBEX SAMPLE A", filesPerDisk),
                       Make2HDDisk(2, "VORBEX SAMPLE B", filesPerDisk)});
}

}  // namespace

const std::vector<Layout>& Layouts() {
    static const std::vector<Layout> layouts = {
        {"sample", "two 2HD disks, 8 x 1024-byte sectors a track, about 90 embedded files"},
        {"empty", "the same two disks with no embedded file"},
        {"2hd256", "one 2HD disk of 26 x 256-byte sectors a track"},
        {"hostile", "one disk whose tracks hold 16 headers with a sector count of 0"},
        {"multi64", "64 2HD disks with embedded files"},
        {"spread", "two disks of one track of 16 sectors 64 KiB apart, which every entry shares"},
        {"shared8", "two disks of 8 tracks like spread's, their 164 entries cycling over them"},
        {"shared16", "the same with 16 tracks a disk"},
        {"reversed", "the sample's disks with their tracks stored last to first"},
        {"bigsparse", "two disks of 148 different tracks like spread's, 310 MB"},
        {"crossdisk", "two disks loading the same 148 tracks of 16 x 16 KiB sectors"},
    };
    return layouts;
}

std::optional<std::vector<std::uint8_t>> MakeLayout(const std::string& name) {
    if (name == "sample") {
        return MakeTwoDisks(45);
    }
    if (name == "empty") {
        return MakeTwoDisks(0);
    }
    if (name == "2hd256") {
        return BuildImage({Make2HD256Disk(3)});
    }
    if (name == "hostile") {
        return BuildImage({MakeHostileDisk(4)});
    }
    if (name == "spread") {
        return MakeSharedSparse(1, 3);
    }
    if (name == "shared8") {
        return MakeSharedSparse(8, 0);
    }
    if (name == "shared16") {
        return MakeSharedSparse(16, 0);
    }
    if (name == "reversed") {
        return MakeReversed();
    }
    if (name == "bigsparse") {
        return MakeBigSparse();
    }
    if (name == "crossdisk") {
        return MakeCrossDisk();
    }
    if (name == "multi64") {
        std::vector<Disk> disks;
        for (std::uint32_t i = 0; i < 64; ++i) {
            disks.push_back(Make2HDDisk(10 + i, "VORBEX DISK " + std::to_string(i), 20));
        }
        return BuildImage(disks);
    }
    return std::nullopt;
}

}  // namespace vorbex::imagemaker
