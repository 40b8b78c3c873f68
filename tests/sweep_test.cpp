// The sample image cut short at every sector boundary and at many other
// places, and with single bytes of its disk and sector headers overwritten,
// loaded and scanned in this process as the command does it. Whatever the
// damage, the image opens and yields only whole-block files; where the damage
// cannot matter, the files must be those of the undamaged image. A few of the
// damaged images also go through the built vorbex, which must end with exit
// code 0, say nothing on standard error, leave no temporary file, print
// exactly the names of the files it leaves and leave the files worked out
// here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "d88_builder.h"
#include "embedded_files.h"
#include "extract.h"
#include "image_buffer.h"
#include "load_disk.h"
#include "reader_seam.h"
#include "sample_layouts.h"
#include "test_support.h"
#include "vorbex/d88_reader.h"

namespace vorbex {
namespace {

using testing::Bytes;

constexpr std::size_t kDiskHeaderSize = 0x2B0;
constexpr std::size_t kSectorHeaderSize = 16;
constexpr std::size_t kBlock = 1024;

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                      bytes[at + 3] << 24);
}

std::size_t Le16(const Bytes& bytes, std::size_t at) {
    return static_cast<std::size_t>(bytes[at] | bytes[at + 1] << 8);
}

struct SectorPlace {
    int disk;
    int track;
    std::size_t header;  // file offset of the sector header
    std::size_t end;     // file offset just past its data
};

// Where the sample's disks and sectors lie, read from its (sound) headers.
struct ImageMap {
    std::size_t disk[2] = {};
    std::vector<SectorPlace> sectors;

    explicit ImageMap(const Bytes& image) {
        disk[1] = Le32(image, 0x1C);
        for (int d = 0; d < 2; ++d) {
            for (int t = 0; t < imagemaker::kTrackCount; ++t) {
                const std::size_t offset =
                    Le32(image, disk[d] + 0x20 + 4 * static_cast<std::size_t>(t));
                if (offset == 0) {
                    continue;
                }
                std::size_t pos = disk[d] + offset;
                const std::size_t count = Le16(image, pos + 4);
                for (std::size_t i = 0; i < count; ++i) {
                    const std::size_t end = pos + kSectorHeaderSize + Le16(image, pos + 14);
                    sectors.push_back({d, t, pos, end});
                    pos = end;
                }
            }
        }
    }

    std::vector<SectorPlace> Track(int d, int t) const {
        std::vector<SectorPlace> found;
        std::copy_if(sectors.begin(), sectors.end(), std::back_inserter(found),
                     [&](const SectorPlace& s) { return s.disk == d && s.track == t; });
        return found;
    }

    // Just past the last byte the load reads: the end of disk 1's track 152.
    std::size_t EndOfLoad() const {
        std::size_t end = 0;
        for (const SectorPlace& s : Track(1, 152)) {
            end = std::max(end, s.end);
        }
        return end;
    }
};

// The files a run leaves, in the order it writes them: ZT000, ZT001, ...
using Outcome = std::vector<Bytes>;

// What a damaged image must still give, beyond a clean run.
enum class Expect {
    kClean,          // only a clean, consistent run
    kFirstDiskKept,  // the undamaged first disk's files, then anything
    kUnchanged,      // exactly the outputs of the whole image
};

// The sample cut to `size` bytes, with byte `at` (if below `size`) set to
// `value`.
struct Case {
    std::string label;
    std::size_t size;
    std::size_t at;
    std::uint8_t value;
    Expect expect;
};

// A case's image, made up as it is read: the sample is never copied.
class DamagedImage : public ImageSource {
  public:
    DamagedImage(const Bytes& sample, const Case& c) : sample_(sample), case_(c) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        if (offset >= case_.size) {
            return {};
        }
        const std::size_t from = static_cast<std::size_t>(offset);
        const std::size_t count = std::min(dest.size(), case_.size - from);
        std::copy_n(sample_.begin() + static_cast<std::ptrdiff_t>(from), count, dest.begin());
        if (case_.at >= from && case_.at < from + count) {
            dest[case_.at - from] = case_.value;
        }
        return {count, {}};
    }

  private:
    const Bytes& sample_;
    const Case& case_;
};

// What vorbex writes for a case's image, worked out in this process: the
// reader on the image, each of the first disks loaded and its files found,
// as the command does it.
Outcome RunInProcess(const Bytes& sample, const Case& c) {
    D88Reader reader;
    EXPECT_TRUE(ReaderSeam::Open(reader, std::make_unique<DamagedImage>(sample, c))) << c.label;
    const std::unique_ptr<ImageBuffer> made = ImageBuffer::Create();
    ImageBuffer& buffer = *made;
    Outcome files;
    for (int disk = 0; disk < std::min(reader.GetDiskCount(), kMaxDisksLoaded); ++disk) {
        LoadDisk(reader, disk, buffer);
        for (const EmbeddedFile& f : FindEmbeddedFiles(buffer.Bytes())) {
            const auto begin = buffer.Bytes().begin() + static_cast<std::ptrdiff_t>(f.offset);
            files.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(f.length));
        }
    }
    return files;
}

class Sweep : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sample_ = std::make_unique<Bytes>(*imagemaker::MakeLayout("sample"));
        map_ = std::make_unique<ImageMap>(*sample_);
        whole_ = std::make_unique<Outcome>(
            RunInProcess(*sample_, {"whole", sample_->size(), sample_->size(), 0, Expect::kClean}));
        firstDisk_ = std::make_unique<Outcome>(RunInProcess(
            *sample_, {"first disk", map_->disk[1], map_->disk[1], 0, Expect::kClean}));
    }
    static void TearDownTestSuite() {
        sample_.reset();
        map_.reset();
        whole_.reset();
        firstDisk_.reset();
    }

    // The first thing wrong with `got`, or nothing.
    static std::optional<std::string> Problem(const Outcome& got, Expect expect) {
        for (std::size_t i = 0; i < got.size(); ++i) {
            const std::size_t size = got[i].size();
            if (size == 0 || size % kBlock != 0 || size > 12 * kBlock) {
                return "file " + std::to_string(i) + " has " + std::to_string(size) + " bytes";
            }
        }
        if (expect == Expect::kUnchanged && got != *whole_) {
            return "outputs differ from those of the whole image";
        }
        if (expect == Expect::kFirstDiskKept &&
            (got.size() < firstDisk_->size() ||
             !std::equal(firstDisk_->begin(), firstDisk_->end(), got.begin()))) {
            return "the first disk's files changed";
        }
        return std::nullopt;
    }

    // Runs every case; reports the first few failures in full.
    static void RunAll(const std::vector<Case>& cases) {
        int failures = 0;
        for (const Case& c : cases) {
            if (const auto problem = Problem(RunInProcess(*sample_, c), c.expect)) {
                if (++failures <= 10) {
                    ADD_FAILURE() << c.label << ": " << *problem;
                }
            }
        }
        EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
        std::cout << "[ sweep    ] " << cases.size() << " cases\n";
    }

    static Case Cut(std::size_t size) {
        Expect expect = Expect::kClean;
        if (size >= map_->EndOfLoad()) {
            expect = Expect::kUnchanged;
        } else if (size >= map_->disk[1]) {
            expect = Expect::kFirstDiskKept;
        }
        return {"cut at " + std::to_string(size), size, size, 0, expect};
    }

    static Case SetByte(const std::string& what, std::size_t at, std::uint8_t value,
                        Expect expect) {
        const std::string label =
            what + " (byte " + std::to_string(at) + ") = " + std::to_string(value);
        // Writing the value the byte already holds must change nothing.
        return {label, sample_->size(), at, value,
                (*sample_)[at] == value ? Expect::kUnchanged : expect};
    }

    static void AddValues(std::vector<Case>& cases, const std::string& what, std::size_t at,
                          Expect expect) {
        const std::uint8_t values[] = {0x00, 0x7F, 0x80, 0xFF};
        for (std::uint8_t value : values) {
            cases.push_back(SetByte(what, at, value, expect));
        }
    }

    static inline std::unique_ptr<Bytes> sample_;
    static inline std::unique_ptr<ImageMap> map_;
    // The outputs of the whole image and of its first disk alone.
    static inline std::unique_ptr<Outcome> whole_;
    static inline std::unique_ptr<Outcome> firstDisk_;
};

TEST_F(Sweep, TheReferenceRunsWriteFilesFromBothDisks) {
    ASSERT_EQ(Problem(*whole_, Expect::kClean), std::nullopt);
    EXPECT_GT(firstDisk_->size(), 10u);
    EXPECT_GT(whole_->size(), firstDisk_->size() + 10);
    EXPECT_EQ(map_->sectors.size(), 2u * 154 * 8);
}

TEST_F(Sweep, CutJustPastTheLastByteLoadedChangesNothing) {
    // The end of the second disk's track 152; track 153 and the rest of the
    // file are never read.
    EXPECT_EQ(RunInProcess(*sample_, Cut(map_->EndOfLoad())), *whole_);
}

// Every sector of a disk, cut just before its header; split by disk so that
// the two halves can run side by side.
TEST_F(Sweep, CutAtEverySectorBoundaryOfTheFirstDisk) {
    std::vector<Case> cases;
    for (const SectorPlace& s : map_->sectors) {
        if (s.disk == 0) {
            cases.push_back(Cut(s.header));
        }
    }
    RunAll(cases);
}

TEST_F(Sweep, CutAtEverySectorBoundaryOfTheSecondDisk) {
    std::vector<Case> cases;
    for (const SectorPlace& s : map_->sectors) {
        if (s.disk == 1) {
            cases.push_back(Cut(s.header));
        }
    }
    cases.push_back(Cut(sample_->size()));
    RunAll(cases);
}

TEST_F(Sweep, CutInsideHeadersAndData) {
    std::vector<std::size_t> sizes = {0, 1, 0x1C, 0x20, kDiskHeaderSize - 1, kDiskHeaderSize};
    for (std::size_t d : map_->disk) {
        for (std::size_t in :
             {std::size_t{1}, std::size_t{0x1D}, std::size_t{0x24}, kDiskHeaderSize - 1}) {
            sizes.push_back(d + in);
        }
    }
    // Inside the sector headers and the data of every 37th sector.
    for (std::size_t i = 0; i < map_->sectors.size(); i += 37) {
        const std::size_t at = map_->sectors[i].header;
        for (std::size_t in : {1u, 4u, 5u, 14u, 15u, 17u, 16u + 512, 16u + 1021, 16u + 1023}) {
            sizes.push_back(at + in);
        }
    }
    const std::size_t end = map_->EndOfLoad();
    for (std::size_t size : {end - 1023, end - 3, end - 1, end + 1}) {
        sizes.push_back(size);
    }
    // And a spread over the whole file.
    std::uint32_t state = 12345;
    for (int i = 0; i < 64; ++i) {
        state = state * 1103515245u + 12345u;
        sizes.push_back(state % sample_->size());
    }
    std::vector<Case> cases;
    for (std::size_t size : sizes) {
        cases.push_back(Cut(size));
    }
    RunAll(cases);
}

TEST_F(Sweep, TheCommandWritesWhatTheSweepWorksOut) {
    const SectorPlace middle = map_->Track(0, 79).front();
    const SectorPlace late = map_->Track(1, 100).back();
    const std::vector<Case> cases = {
        Cut(sample_->size()),
        Cut(middle.header + 16 + 512),
        Cut(late.header + 5),
        SetByte("disk 1 size", map_->disk[1] + 0x1F, 0xFF, Expect::kFirstDiskKept),
        SetByte("disk 0 track 79 offset", 0x20 + 4 * 79 + 3, 0x80, Expect::kClean),
        SetByte("sector count", middle.header + 4, 0, Expect::kClean),
    };
    const testing::TempDir dir(testing::FastTempParent());
    for (const Case& c : cases) {
        const Outcome expected = RunInProcess(*sample_, c);
        Bytes image(sample_->begin(), sample_->begin() + static_cast<std::ptrdiff_t>(c.size));
        if (c.at < image.size()) {
            image[c.at] = c.value;
        }
        const std::filesystem::path path = dir.path() / "image.d88";
        const std::filesystem::path out = dir.path() / "out";
        testing::WriteBytes(path, image);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        const testing::RunResult run = testing::RunVorbex({path.string()}, out);
        EXPECT_EQ(run.exitCode, 0) << c.label;
        EXPECT_EQ(run.err, "") << c.label;
        std::map<std::string, Bytes> files;
        std::string names;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            files[OutputName(static_cast<std::int32_t>(i))] = expected[i];
            names += OutputName(static_cast<std::int32_t>(i)) + testing::LineEnd();
        }
        EXPECT_EQ(run.out, names) << c.label;
        EXPECT_EQ(testing::ListFiles(out), files) << c.label << ": other files, or a temporary one";
    }
}

TEST_F(Sweep, DiskHeaderBytes) {
    std::vector<Case> cases;
    for (int d = 0; d < 2; ++d) {
        const std::size_t base = map_->disk[d];
        const std::string disk = "disk " + std::to_string(d);
        // The tool does not look at the name, the write protection or the
        // media type.
        for (std::size_t at : {0x00u, 0x10u, 0x1Au, 0x1Bu}) {
            AddValues(cases, disk + " field " + std::to_string(at), base + at, Expect::kUnchanged);
        }
        // Moving the second disk or changing the first's size changes
        // everything after it; the second disk's size only its own tracks.
        for (std::size_t i = 0; i < 4; ++i) {
            AddValues(cases, disk + " size", base + 0x1C + i,
                      d == 0 ? Expect::kClean : Expect::kFirstDiskKept);
        }
        for (int t : {0, 4, 5, 152, 153, 163}) {
            const bool loaded = t >= 5 && t <= 152;
            const Expect expect = !loaded  ? Expect::kUnchanged
                                  : d == 0 ? Expect::kClean
                                           : Expect::kFirstDiskKept;
            for (std::size_t i = 0; i < 4; ++i) {
                AddValues(cases, disk + " track " + std::to_string(t) + " offset",
                          base + 0x20 + 4 * static_cast<std::size_t>(t) + i, expect);
            }
        }
    }
    RunAll(cases);
}

TEST_F(Sweep, SectorHeaderBytes) {
    std::vector<Case> cases;
    const std::pair<int, int> tracks[] = {{0, 4},   {0, 5},   {0, 6}, {0, 79},
                                          {0, 152}, {0, 153}, {1, 5}, {1, 152}};
    for (const auto& [d, t] : tracks) {
        const std::vector<SectorPlace> sectors = map_->Track(d, t);
        ASSERT_FALSE(sectors.empty());
        for (const SectorPlace& s : {sectors.front(), sectors.back()}) {
            const std::string where = "disk " + std::to_string(d) + " track " + std::to_string(t) +
                                      " sector at " + std::to_string(s.header);
            const bool loaded = t >= 5 && t <= 152;
            // C, H, R, N, the sector count and the data size decide what is
            // loaded; density, deletion mark and status are not looked at.
            for (std::size_t field : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 14u, 15u}) {
                const bool ignored = field >= 6 && field <= 8;
                const Expect expect = !loaded || ignored ? Expect::kUnchanged
                                      : d == 0           ? Expect::kClean
                                                         : Expect::kFirstDiskKept;
                AddValues(cases, where + " field " + std::to_string(field), s.header + field,
                          expect);
            }
        }
    }
    RunAll(cases);
}

}  // namespace
}  // namespace vorbex
