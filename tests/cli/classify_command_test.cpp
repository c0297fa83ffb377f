// mendwell-cli classify, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_support.h"

namespace mendwell {
namespace {

using test::CliPath;
using test::FixturePath;
using test::RunCommand;

TEST(ClassifyCommand, NamesEachFileSystem) {
  const struct {
    const char* image;
    const char* word;
  } cases[] = {{"fat12.img", "FAT\n"}, {"fat16.img", "FAT\n"}, {"fat32.img", "FAT\n"},
               {"ntfs.img", "NTFS\n"}, {"ext4.img", "EXT\n"},  {"blank.img", "OTHER\n"}};
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(RunCommand(CliPath() + " classify " + FixturePath(c.image), &out), 0) << c.image;
    EXPECT_EQ(out, c.word) << c.image;
  }
}

TEST(ClassifyCommand, DiskPartitionsThroughMendwellDisks) {
  std::string out;
  std::string env = "MENDWELL_DISKS=" + FixturePath("disk_mbr_fat.img") + " ";
  EXPECT_EQ(RunCommand(env + CliPath() + " classify --disk 0 --start 2048", &out), 0);
  EXPECT_EQ(out, "FAT\n");
  out.clear();
  EXPECT_EQ(RunCommand(env + CliPath() + " classify --disk 0", &out), 0);
  EXPECT_EQ(out, "OTHER\n");
}

TEST(ClassifyCommand, BadMediaFailWithOneLineNamingThem) {
  test::TempDir dir;
  const std::string media[] = {FixturePath("short.img"), FixturePath("missing.img"), dir.path()};
  for (const std::string& medium : media) {
    std::string err;
    int status = RunCommand(CliPath() + " classify '" + medium + "' 2>&1 >/dev/null", &err);
    EXPECT_NE(status, 0) << medium;
    EXPECT_NE(err.find(medium), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
  std::string err;
  EXPECT_NE(RunCommand("MENDWELL_DISKS=/nonexistent " + CliPath() + " classify --disk 0 2>&1", &err), 0);
  EXPECT_NE(err.find("disk 0"), std::string::npos) << err;
  EXPECT_EQ(RunCommand(CliPath() + " classify --bogus x 2>/dev/null"), 2);
  std::string help;
  EXPECT_EQ(RunCommand(CliPath() + " --help", &help), 0);
  EXPECT_NE(help.find("classify"), std::string::npos);
}

}  // namespace
}  // namespace mendwell
