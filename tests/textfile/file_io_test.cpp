#include "textfile/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace kelvane::textfile {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-fileio-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FileIo, ReadsBytesExactlyAndRefusesMissingFilesAndFolders) {
  const std::string path = (dir_ / "a.bin").string();
  ASSERT_TRUE(writeFileAtomically(path, std::string("x\0y\r\n", 5)));
  EXPECT_EQ(readFileBytes(path), std::optional<std::string>(std::string("x\0y\r\n", 5)));
  EXPECT_FALSE(readFileBytes((dir_ / "missing").string()));
  EXPECT_FALSE(readFileBytes(dir_.string()));
  EXPECT_FALSE(readFileBytes(""));
}

TEST_F(FileIo, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string path = (dir_ / "keep.txt").string();
  ASSERT_TRUE(writeFileAtomically(path, "old"));
  // A folder in the way of the rename makes the write fail.
  const std::string blocked = (dir_ / "blocked").string();
  fs::create_directories(fs::path(blocked) / "inside");
  EXPECT_FALSE(writeFileAtomically(blocked, "new"));
  EXPECT_EQ(readFileBytes(path), std::optional<std::string>("old"));
  EXPECT_FALSE(writeFileAtomically((dir_ / "no-such-dir" / "f").string(), "x"));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace kelvane::textfile
