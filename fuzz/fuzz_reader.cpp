// Fuzzes the D88 reader through its public interface.
//
// An input is a list of calls and an image: byte 0 gives the length L of the
// call list, bytes 1 to L are the calls, and the rest is the image file. The
// calls run on a D88Reader over that file and, side by side, on a plain
// reading of the same bytes in memory (ExpectedReader below). Every answer
// and every byte handed back must agree, so besides memory errors the fuzzer
// finds any place where the reader's ring of pages and its memo of tracks and sector data
// returns other bytes than the file holds, and any write past what a call
// reports. The reader's ring is made small for some inputs, so that it wraps
// around.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "image_source.h"
#include "memory_file.h"
#include "reader_seam.h"
#include "vorbex/d88_reader.h"

namespace {

using vorbex::D88Reader;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMaxDisks = 64;
constexpr int kTrackCount = 164;
constexpr int kDiskHeaderSize = 0x2B0;
constexpr int kSectorHeaderSize = 16;
constexpr int kDiskNameSize = 17;
constexpr int kDiskSizeOffset = 0x1C;
constexpr int kMediaTypeOffset = 0x1B;
constexpr int kTrackTableOffset = 0x20;
constexpr int kSectorCountOffset = 4;
constexpr int kDataSizeOffset = 14;
// Bytes a call may not touch are preset to this value.
constexpr std::uint8_t kUntouched = 0xA5;

[[noreturn]] void Mismatch(const char* what, long long expected, long long actual) {
    std::fprintf(stderr, "fuzz_reader: %s: expected %lld, got %lld\n", what, expected, actual);
    std::abort();
}

void Check(const char* what, long long expected, long long actual) {
    if (expected != actual) {
        Mismatch(what, expected, actual);
    }
}

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

int Le16(const std::uint8_t* p) {
    return p[0] | p[1] << 8;
}

// What the reader must answer, worked out from the image in memory with no
// caching and no file in between, following the reader's documented rules.
class ExpectedReader {
  public:
    explicit ExpectedReader(std::span<const std::uint8_t> image) : image_(image) {}

    void Open(bool withPath) {
        open_ = withPath;
        diskCount_ = 0;
        if (!withPath) {
            mediaType_ = -1;
            return;
        }
        std::int64_t offset = 0;
        while (diskCount_ < kMaxDisks && Readable(offset, kDiskHeaderSize)) {
            diskOffsets_[diskCount_++] = static_cast<std::int32_t>(offset);
            offset += Le32(image_.data() + offset + kDiskSizeOffset);
            if (offset > std::numeric_limits<std::int32_t>::max()) {
                break;
            }
        }
    }

    int DiskCount() const { return diskCount_; }
    int MediaType() const { return mediaType_; }
    const std::string& DiskName() const { return diskName_; }

    bool SelectDisk(int index) {
        if (!open_) {
            return false;
        }
        diskOffset_ = -1;
        mediaType_ = -1;
        diskSize_ = 0;
        diskName_.clear();
        if (index < 0 || index >= diskCount_) {
            return false;
        }
        diskOffset_ = diskOffsets_[index];
        const std::uint8_t* header = image_.data() + diskOffset_;
        for (int t = 0; t < kTrackCount; ++t) {
            trackOffsets_[t] = static_cast<std::int32_t>(Le32(header + kTrackTableOffset + 4 * t));
        }
        mediaType_ = header[kMediaTypeOffset];
        diskSize_ = static_cast<std::int32_t>(Le32(header + kDiskSizeOffset));
        for (int i = 0; i < kDiskNameSize - 1 && header[i] != 0; ++i) {
            diskName_.push_back(static_cast<char>(header[i]));
        }
        return true;
    }

    void SetSectorRange(int first, int last) {
        firstSector_ = first;
        lastSector_ = last;
    }

    int ReadTrackIds(int track, Bytes* ids, int len) const {
        std::int64_t pos = TrackPosition(track);
        if (pos < 0) {
            return 0;
        }
        int stored = 0;
        for (int i = 0; stored + 4 <= len && Readable(pos, kSectorHeaderSize); ++i) {
            const std::uint8_t* header = image_.data() + pos;
            std::copy_n(header, 4, ids->begin() + stored);
            stored += 4;
            pos += kSectorHeaderSize + Le16(header + kDataSizeOffset);
            if (i == Le16(header + kSectorCountOffset) - 1) {
                break;
            }
        }
        return stored;
    }

    // `dest` holds at least `len` bytes from `at` on.
    int ReadSector(int track, int c, int h, int r, int n, Bytes* dest, std::size_t at,
                   int len) const {
        std::int64_t pos = TrackPosition(track);
        if (pos < 0) {
            return 0;
        }
        for (int i = 0; Readable(pos, kSectorHeaderSize); ++i) {
            const std::uint8_t* header = image_.data() + pos;
            const int sectorCount = Le16(header + kSectorCountOffset);
            if (sectorCount == 0) {
                return 0;
            }
            const int dataSize = Le16(header + kDataSizeOffset);
            pos += kSectorHeaderSize;
            if (header[0] == c && header[1] == h && header[2] == r && header[3] == n) {
                const int count = std::min(dataSize, len);
                for (int k = 0; k < count; ++k) {
                    const std::int64_t from = pos + k;
                    (*dest)[at + static_cast<std::size_t>(k)] =
                        Readable(from, 1) ? image_[static_cast<std::size_t>(from)] : 0;
                }
                return count;
            }
            pos += dataSize;
            if (i == sectorCount - 1) {
                return 0;
            }
        }
        return 0;
    }

    int ReadSectors(int track, int c, int h, int r, int n, Bytes* dest, int len) const {
        const int sectorLength = n >= 0 && n <= 23 ? 128 << n : -1;
        int total = 0;
        while (total < len) {
            const int step = sectorLength >= 0 ? std::min(sectorLength, len - total) : len - total;
            if (ReadSector(track, c, h, r, n, dest, static_cast<std::size_t>(total), step) < step) {
                return total;
            }
            total += step;
            if (r == lastSector_) {
                ++track;
                if (h == 0) {
                    h = 1;
                } else {
                    h = 0;
                    ++c;
                }
                r = firstSector_;
            } else {
                ++r;
            }
        }
        return total;
    }

  private:
    bool Readable(std::int64_t pos, std::int64_t n) const {
        return pos >= 0 && pos + n <= static_cast<std::int64_t>(image_.size());
    }

    std::int64_t TrackPosition(int track) const {
        if (!open_ || track < 0 || track >= kTrackCount || diskOffset_ < 0) {
            return -1;
        }
        const std::int32_t offset = trackOffsets_[track];
        if (offset <= 0 || offset > diskSize_) {
            return -1;
        }
        return static_cast<std::int64_t>(diskOffset_) + offset;
    }

    std::span<const std::uint8_t> image_;
    bool open_ = false;
    int diskCount_ = 0;
    std::int32_t diskOffsets_[kMaxDisks] = {};
    std::int32_t diskOffset_ = -1;
    std::int32_t diskSize_ = 0;
    std::int32_t trackOffsets_[kTrackCount] = {};
    int mediaType_ = -1;
    std::string diskName_;
    int firstSector_ = 1;
    int lastSector_ = 16;
};

// The call list, read a byte at a time; zeros once it runs out.
class Calls {
  public:
    Calls(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    int Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int Word() { return Byte() | Byte() << 8; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A sector ID argument: mostly a byte, but flag bits move it out of the byte
// range, where it can never match a header.
struct IdArgs {
    int track, c, h, r, n;
};

IdArgs ReadIdArgs(Calls& calls) {
    const int flags = calls.Byte();
    IdArgs args{};
    args.track = calls.Byte() - 8;
    const int shift = flags & 0x10 ? -256 : 256;
    args.c = calls.Byte() + (flags & 0x01 ? shift : 0);
    args.h = calls.Byte() + (flags & 0x02 ? shift : 0);
    args.r = calls.Byte() + (flags & 0x04 ? shift : 0);
    args.n = calls.Byte() + (flags & 0x08 ? shift : 0);
    return args;
}

void CheckState(const D88Reader& reader, const ExpectedReader& expected) {
    Check("GetDiskCount", expected.DiskCount(), reader.GetDiskCount());
    Check("GetMediaType", expected.MediaType(), reader.GetMediaType());
    const char* name = reader.GetDiskName();
    if (name == nullptr || expected.DiskName() != name) {
        std::fprintf(stderr, "fuzz_reader: GetDiskName: expected \"%s\"\n",
                     expected.DiskName().c_str());
        std::abort();
    }
}

void CheckBytes(const char* what, const Bytes& expected, const Bytes& actual, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (expected[i] != actual[i]) {
            std::fprintf(stderr, "fuzz_reader: %s: byte %zu differs\n", what, i);
            Mismatch(what, expected[i], actual[i]);
        }
    }
}

// Bytes past what a call reports must still hold kUntouched.
void CheckUntouched(const char* what, const Bytes& actual, std::size_t from) {
    for (std::size_t i = from; i < actual.size(); ++i) {
        if (actual[i] != kUntouched) {
            std::fprintf(stderr, "fuzz_reader: %s wrote byte %zu past its count %zu\n", what, i,
                         from);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vorbex::fuzz::MemoryFile file;
    if (size == 0) {
        return 0;
    }
    const std::size_t callBytes = std::min<std::size_t>(data[0], size - 1);
    const std::span<const std::uint8_t> image(data + 1 + callBytes, size - 1 - callBytes);
    file.Write(image.data(), image.size());

    // Rings of one, two and three pages wrap around within a few reads; the
    // reader's own one hardly ever with inputs of this size.
    constexpr std::size_t kRingPages[] = {1, 2, 3, 16, vorbex::ImageCache::kRingPages};
    const std::size_t ringPages = kRingPages[size % std::size(kRingPages)];
    const auto open = [&](D88Reader& reader) {
        return vorbex::ReaderSeam::Open(
            reader, vorbex::OpenImageFile(file.path().c_str(), D88Reader::kStreamLimit), ringPages);
    };
    D88Reader reader;
    ExpectedReader expected(image);
    Check("Open", 1, open(reader));
    expected.Open(true);
    CheckState(reader, expected);

    Calls calls(data + 1, callBytes);
    while (!calls.Done()) {
        switch (calls.Byte() % 8) {
            case 0: {
                const int index = static_cast<signed char>(calls.Byte());
                Check("SelectDisk", expected.SelectDisk(index), reader.SelectDisk(index));
                break;
            }
            case 1: {
                const int track = calls.Byte() - 8;
                const int room = calls.Byte() % 33;
                Bytes want(4 * static_cast<std::size_t>(room), kUntouched);
                std::vector<vorbex::SectorId> got(
                    static_cast<std::size_t>(room),
                    vorbex::SectorId{kUntouched, kUntouched, kUntouched, kUntouched});
                const int wantCount = expected.ReadTrackIds(track, &want, 4 * room);
                const int gotCount = reader.ReadTrackIds(track, got);
                Check("ReadTrackIds", wantCount, gotCount);
                Bytes gotBytes;
                for (const vorbex::SectorId& id : got) {
                    gotBytes.insert(gotBytes.end(), {id.c, id.h, id.r, id.n});
                }
                CheckBytes("ReadTrackIds", want, gotBytes, static_cast<std::size_t>(gotCount));
                CheckUntouched("ReadTrackIds", gotBytes, static_cast<std::size_t>(gotCount));
                break;
            }
            case 2: {
                const IdArgs a = ReadIdArgs(calls);
                const int len = std::max(calls.Word() - 16, 0);
                Bytes want(static_cast<std::size_t>(len), kUntouched);
                Bytes got = want;
                const int wantCount =
                    expected.ReadSector(a.track, a.c, a.h, a.r, a.n, &want, 0, len);
                const int gotCount = reader.ReadSector(a.track, a.c, a.h, a.r, a.n, got);
                Check("ReadSector", wantCount, gotCount);
                CheckBytes("ReadSector", want, got, static_cast<std::size_t>(gotCount));
                CheckUntouched("ReadSector", got, static_cast<std::size_t>(gotCount));
                break;
            }
            case 3: {
                const IdArgs a = ReadIdArgs(calls);
                const int len = std::max(calls.Word() * 8 - 16, 0);
                Bytes want(static_cast<std::size_t>(len), kUntouched);
                Bytes got = want;
                const int wantCount = expected.ReadSectors(a.track, a.c, a.h, a.r, a.n, &want, len);
                const int gotCount = reader.ReadSectors(a.track, a.c, a.h, a.r, a.n, got);
                Check("ReadSectors", wantCount, gotCount);
                CheckBytes("ReadSectors", want, got, static_cast<std::size_t>(gotCount));
                break;
            }
            case 4: {
                const int first = calls.Byte();
                const int last = calls.Byte();
                expected.SetSectorRange(first, last);
                reader.SetSectorRange(first, last);
                break;
            }
            case 5:
                Check("Open()", 1, reader.Open());
                expected.Open(false);
                break;
            case 6:
                Check("Open again", 1, open(reader));
                expected.Open(true);
                break;
            default:
                // GetDiskName and GetMediaType are checked after every call.
                break;
        }
        CheckState(reader, expected);
    }
    return 0;
}
