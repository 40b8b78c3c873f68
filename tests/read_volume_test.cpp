// What loading an image costs: every image the image maker knows, loaded as
// the command loads it, through a source that counts what it is asked for.
// An image must be read about once, in few large reads, however its tracks
// lie: the reader's ring, its memo of tracks and its kept sector data are
// what make that so, and a fault in any of them shows here as bytes read
// twice or as reads that come a page at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "image_buffer.h"
#include "load_disk.h"
#include "reader_seam.h"
#include "sample_layouts.h"
#include "test_support.h"

namespace vorbex {
namespace {

using testing::Bytes;

class CountingImage : public ImageSource {
  public:
    CountingImage(const Bytes& image, std::uint64_t& bytes, int& reads)
        : image_(image), bytes_(bytes), reads_(reads) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        ++reads_;
        const std::size_t from = std::min<std::uint64_t>(offset, image_.size());
        const std::size_t count = std::min(dest.size(), image_.size() - from);
        std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(from), count, dest.begin());
        bytes_ += count;
        return {count, {}};
    }

  private:
    const Bytes& image_;
    std::uint64_t& bytes_;
    int& reads_;
};

// The reads each image takes today, and a quarter more: a fetch that stops
// a page short, or a run read a page at a time, goes past them.
const std::map<std::string, int> kMaxReads = {
    {"sample", 15},    {"empty", 15},      {"2hd256", 9},    {"hostile", 13},
    {"multi64", 92},   {"spread", 14},     {"shared8", 62},  {"shared16", 102},
    {"reversed", 380}, {"bigsparse", 750}, {"crossdisk", 9},
};

class ReadVolume : public ::testing::TestWithParam<std::string> {};

TEST_P(ReadVolume, ImageIsReadAboutOnceInFewReads) {
    const Bytes image = *imagemaker::MakeLayout(GetParam());
    std::uint64_t bytes = 0;
    int reads = 0;
    D88Reader reader;
    ASSERT_TRUE(ReaderSeam::Open(reader, std::make_unique<CountingImage>(image, bytes, reads)));
    ASSERT_GE(reader.GetDiskCount(), 1);
    const std::unique_ptr<ImageBuffer> buffer = ImageBuffer::Create();
    for (int disk = 0; disk < std::min(reader.GetDiskCount(), kMaxDisksLoaded); ++disk) {
        LoadDisk(reader, disk, *buffer);
    }
    std::cout << "[ read     ] " << reads << " reads, " << bytes << " of " << image.size()
              << " bytes\n";
    EXPECT_LE(static_cast<double>(bytes), 1.1 * static_cast<double>(image.size()));
    ASSERT_TRUE(kMaxReads.count(GetParam())) << "no bound for this image yet";
    EXPECT_LE(reads, kMaxReads.at(GetParam()));
}

std::vector<std::string> LayoutNames() {
    std::vector<std::string> names;
    for (const imagemaker::Layout& layout : imagemaker::Layouts()) {
        names.push_back(layout.name);
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReadVolume, ::testing::ValuesIn(LayoutNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace vorbex
