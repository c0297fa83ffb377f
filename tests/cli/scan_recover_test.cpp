// mendwell-cli scan and recover, run as a user runs them.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/paths.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::CliPath;
using test::FixturePath;
using test::RunCommand;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST(ScanCommand, JsonHasOneObjectPerFoundFile) {
  std::string out;
  ASSERT_EQ(RunCommand(CliPath() + " scan --mode deleted --json " + FixturePath("fat16_deleted.img") + " 2>/dev/null",
                       &out),
            0);
  std::vector<std::string> lines = Lines(out);
  EXPECT_EQ(lines.size(), 10u);  // the ten deleted files of the fixture's manifest
  bool sawNested = false;
  for (const std::string& l : lines) {
    for (const char* key : {"\"path\":", "\"name\":", "\"size\":", "\"folder\":", "\"deleted\":true", "\"intact\":",
                            "\"engine\":\"fast-fat\"", "\"created\":", "\"modified\":\"20"})
      EXPECT_NE(l.find(key), std::string::npos) << key << " in " << l;
    if (l.find("\"path\":\"live/sub/!ested.dat\"") != std::string::npos) {
      sawNested = true;
      EXPECT_NE(l.find("\"folder\":\"live/sub/\""), std::string::npos) << l;
      EXPECT_NE(l.find("\"size\":5000"), std::string::npos) << l;
    }
  }
  EXPECT_TRUE(sawNested) << out;
}

TEST(RecoverCommand, RecoversTheChosenTypesIntoCategoryFolders) {
  test::TempDir dir;
  std::string out;
  int status = RunCommand(CliPath() + " recover --mode deleted " + FixturePath("fat32_deleted.img") + " --to " +
                              dir.path() + "/out --type jpg,dat 2>/dev/null",
                          &out);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> lines = Lines(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "2 recovered, 0 failed");
  EXPECT_TRUE(PathExists(dir.path() + "/out/photo/!ighword.jpg"));
  EXPECT_TRUE(PathExists(dir.path() + "/out/others/!ested.dat"));
}

TEST(RecoverCommand, RefusesBadRequestsWithAMessage) {
  test::TempDir dir;
  const struct {
    std::string args;
    int status;
    const char* message;
  } cases[] = {
      {"recover --mode deleted " + FixturePath("fat16_deleted.img"), 2, "--to"},
      {"scan --mode formatted " + FixturePath("fat16_deleted.img"), 2, "not available"},
      {"scan --mode deleted " + FixturePath("blank.img"), 1, "cannot be scanned"},
      {"scan --mode deleted " + dir.path(), 2, "folder"},
      {"scan --mode deleted --disk 0 --start 0 --count 99999999", 2, "beyond the end"},
  };
  for (const auto& c : cases) {
    std::string err;
    std::string env = "MENDWELL_DISKS=" + FixturePath("fat12.img") + " ";
    EXPECT_EQ(RunCommand(env + CliPath() + " " + c.args + " 2>&1 >/dev/null", &err), c.status) << c.args;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.args << ": " << err;
  }
}

}  // namespace
}  // namespace mendwell
