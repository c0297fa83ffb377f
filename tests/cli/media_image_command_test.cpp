// mendwell-cli media, image and lang, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mendwell {
namespace {

namespace fs = std::filesystem;
using test::CliPath;
using test::FixturePath;
using test::RunCommand;

std::string Disks() {
  return "MENDWELL_DISKS=" + FixturePath("disk_mbr.img") + ":" + FixturePath("disk_blank.img") + " ";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(MediaCommand, JsonGivesOneObjectPerDiskAndRow) {
  std::string out;
  ASSERT_EQ(RunCommand(Disks() + CliPath() + " media --json", &out), 0);
  std::vector<std::string> lines = Lines(out);
  const char* expected[] = {
      R"({"row":null,"kind":"disk","disk":0,)",
      R"({"row":1,"kind":"partition","disk":0,"bytes_per_sector":512,"start_sector":2048,"sector_count":73728,)"
      R"("partition_number":1,"partition_type":11,"file_system":"FAT32","label":"MBRFAT32","total_bytes":37748736,)"
      R"("used_bytes":null,"free_bytes":null,"volume_path":null,"mount_point":null})",
      R"({"row":2,"kind":"unallocated","disk":0,"bytes_per_sector":512,"start_sector":75776,"sector_count":20480,)",
      R"({"row":3,"kind":"partition","disk":0,"bytes_per_sector":512,"start_sector":96256,"sector_count":16384,)",
      R"({"row":4,"kind":"unallocated","disk":0,"bytes_per_sector":512,"start_sector":112640,"sector_count":51200,)",
      R"({"row":5,"kind":"disk","disk":1,)",
  };
  ASSERT_EQ(lines.size(), std::size(expected)) << out;
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(expected[i], 0), 0u) << lines[i];
  EXPECT_NE(lines[3].find(R"("file_system":"NTFS","label":"MBRNTFS")"), std::string::npos) << lines[3];
}

TEST(MediaCommand, TableInTheChosenLanguage) {
  std::string out;
  ASSERT_EQ(RunCommand(Disks() + CliPath() + " media --lang German", &out), 0);
  EXPECT_NE(out.find("Datenträger 0:"), std::string::npos) << out;
  EXPECT_NE(out.find("MBRFAT32"), std::string::npos) << out;
  EXPECT_NE(out.find("(nicht zugeordneter Bereich)"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Disks() + CliPath() + " media --lang Klingon 2>/dev/null"), 2);
}

TEST(ImageCommand, CopiesARowAndTellsHowToScanIt) {
  test::TempDir dir;
  const std::string image = dir.File("ntfs part.img");
  std::string out;
  ASSERT_EQ(RunCommand(Disks() + CliPath() + " image --row 3 --out '" + image + "' 2>&1", &out), 0);
  // Not a terminal: plain progress lines, no bar redrawn in place.
  EXPECT_NE(out.find("Progress: 100%  Sectors: 16384 / 16384"), std::string::npos) << out;
  EXPECT_EQ(out.find('\r'), std::string::npos);
  std::vector<uint8_t> part(16384 * 512);
  std::ifstream disk(FixturePath("disk_mbr.img"), std::ios::binary);
  disk.seekg(96256 * 512);
  disk.read(reinterpret_cast<char*>(part.data()), static_cast<std::streamsize>(part.size()));
  EXPECT_TRUE(test::ReadFile(image) == part);
  EXPECT_NE(out.find("mendwell-cli scan --mode deleted '" + image + "'"), std::string::npos) << out;
  // --scan scans the new image right away.
  const std::string fat = dir.File("fat.img");
  out.clear();
  ASSERT_EQ(RunCommand(Disks() + CliPath() + " image --row 1 --out '" + fat + "' --scan 2>&1", &out), 0) << out;
  EXPECT_NE(out.find("files found"), std::string::npos) << out;
}

TEST(ImageCommand, RefusesBadSourcesAndDestinations) {
  test::TempDir dir;
  const std::string source = dir.File("source.img");
  fs::copy_file(FixturePath("disk_blank.img"), source);
  const std::string env = "MENDWELL_DISKS=" + source + " ";
  std::string err;
  // The source itself as destination: refused before anything is written.
  EXPECT_EQ(RunCommand(env + CliPath() + " image --disk 0 --out " + source + " 2>&1", &err), 3);
  EXPECT_NE(err.find("cannot be saved on the medium it is copied from"), std::string::npos) << err;
  EXPECT_EQ(fs::file_size(source), fs::file_size(FixturePath("disk_blank.img")));
  EXPECT_EQ(RunCommand(env + CliPath() + " image --row 7 --out " + dir.File("x.img") + " 2>/dev/null"), 1);
  EXPECT_EQ(RunCommand(env + CliPath() + " image --disk 0 2>/dev/null"), 2);
  EXPECT_EQ(RunCommand(env + CliPath() + " image --disk 0 --row 1 --out x 2>/dev/null"), 2);
  EXPECT_EQ(RunCommand(env + CliPath() + " image --disk zero --out x 2>/dev/null"), 2);
}

TEST(ImageCommand, AFullDestinationGivesAClearErrorAndKeepsThePartialImage) {
  test::TempDir dir;
  const std::string image = dir.File("full.img");
  std::string err;
  // A file-size limit of 256 KiB stands for a full destination disk; the
  // signal it raises is ignored, so the write fails as on a full disk.
  int status = RunCommand("bash -c \"trap '' XFSZ; ulimit -f 256; " + Disks() + CliPath() + " image --row 1 --out '" +
                              image + "' 2>&1\"",
                          &err);
  EXPECT_EQ(status, 1) << err;
  EXPECT_NE(err.find("Reason:"), std::string::npos) << err;
  EXPECT_TRUE(fs::exists(image));
  EXPECT_EQ(fs::file_size(image), 256u * 1024);
}

// The program reads its settings beside itself, so it runs from a copy.
TEST(LangCommand, ListsAndStoresTheDefaultLanguage) {
  test::TempDir dir;
  const fs::path bin = fs::path(CliPath()).parent_path();
  fs::copy_file(CliPath(), dir.File("mendwell-cli"));
  fs::copy_file(bin / "config.ini", dir.File("config.ini"));
  fs::copy(bin / "Languages", dir.File("Languages"), fs::copy_options::recursive);
  const std::string cli = dir.File("mendwell-cli");
  std::string out;
  ASSERT_EQ(RunCommand(cli + " lang", &out), 0);
  EXPECT_NE(out.find("* English"), std::string::npos) << out;
  EXPECT_NE(out.find("  German (Deutsch)"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(cli + " lang Klingon 2>/dev/null"), 1);
  out.clear();
  ASSERT_EQ(RunCommand(cli + " lang German", &out), 0);
  EXPECT_NE(out.find("German"), std::string::npos);
  out.clear();
  ASSERT_EQ(RunCommand(Disks() + cli + " media", &out), 0);
  EXPECT_NE(out.find("Datenträger 0:"), std::string::npos) << out;
  out.clear();
  ASSERT_EQ(RunCommand(Disks() + cli + " --lang English media", &out), 0);
  EXPECT_NE(out.find("Disk 0:"), std::string::npos) << out;
}

}  // namespace
}  // namespace mendwell
