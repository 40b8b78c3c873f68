// Output files appear whole under their name or not at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include "output_file.h"
#include "test_support.h"

namespace vorbex {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(dir_.path());
    }
    void TearDown() override { fs::current_path(previous_); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : testing::ListFiles(dir_.path())) {
            names.push_back(name);
        }
        return names;
    }

    testing::TempDir dir_;
    fs::path previous_;
    const Bytes data_ = Bytes(3072, 0x5A);
};

TEST_F(OutputFileTest, WritesTheWholeFileAndReplacesAnOldOne) {
    testing::WriteBytes("ZT000", Bytes(10, 1));
    ASSERT_EQ(WriteFileWhole("ZT000", data_), std::error_code());
    EXPECT_EQ(testing::ReadBytes("ZT000"), data_);
    EXPECT_EQ(Names(), std::vector<std::string>{"ZT000"}) << "no temporary file is left";
}

TEST_F(OutputFileTest, ReplacesASymbolicLinkInsteadOfWritingThroughIt) {
    testing::WriteBytes("target", Bytes(4, 9));
    fs::create_symlink("target", "ZT001");
    ASSERT_EQ(WriteFileWhole("ZT001", data_), std::error_code());
    EXPECT_FALSE(fs::is_symlink("ZT001"));
    EXPECT_EQ(testing::ReadBytes("ZT001"), data_);
    EXPECT_EQ(testing::ReadBytes("target"), Bytes(4, 9));
}

TEST_F(OutputFileTest, FolderInTheWayFailsAndLeavesNoTemporaryFile) {
    fs::create_directory("ZT002");
    EXPECT_EQ(WriteFileWhole("ZT002", data_), std::errc::is_a_directory);
    EXPECT_TRUE(fs::is_directory("ZT002"));
    EXPECT_EQ(Names(), std::vector<std::string>{"ZT002"});
}

TEST_F(OutputFileTest, LeftoverTemporaryFilesAreNeitherUsedNorRemoved) {
    testing::WriteBytes(TemporaryName("ZT003", 0), Bytes(1, 7));
    testing::WriteBytes(TemporaryName("ZT003", 1), Bytes(1, 8));
    ASSERT_EQ(WriteFileWhole("ZT003", data_), std::error_code());
    EXPECT_EQ(testing::ReadBytes("ZT003"), data_);
    EXPECT_EQ(testing::ReadBytes(TemporaryName("ZT003", 0)), Bytes(1, 7));
    EXPECT_EQ(testing::ReadBytes(TemporaryName("ZT003", 1)), Bytes(1, 8));
    EXPECT_EQ(Names().size(), 3u);
}

TEST(TemporaryNames, CannotBeTakenForOutputFilesAndCarryThePid) {
    const std::string first = TemporaryName("ZT004", 0);
    const std::string prefix = ".vorbex-ZT004." + std::to_string(getpid()) + "-";
    ASSERT_EQ(first.size(), prefix.size() + 16 + 4) << first;
    EXPECT_EQ(first.substr(0, prefix.size()), prefix);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef", prefix.size()), prefix.size() + 16);
    EXPECT_EQ(first.substr(first.size() - 4), ".tmp");
    EXPECT_EQ(TemporaryName("ZT004", 0), first);
    EXPECT_NE(TemporaryName("ZT004", 1), first);
}

}  // namespace
}  // namespace vorbex
