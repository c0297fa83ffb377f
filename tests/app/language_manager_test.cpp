// Language files and settings, in a folder laid out like the program's.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/ini_file.h"
#include "app/language_manager.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

class Languages : public ::testing::Test {
 protected:
  void SetUp() override { CreateDirectories(dir_.File("Languages")); }
  test::TempDir dir_;
};

TEST_F(Languages, WithoutSettingsEnglishIsLoaded) {
  WriteText(dir_.File("Languages/English.ini"),
            "\xEF\xBB\xBF[Messages]\r\nMSG0101=First\r\nMSG0101=Second\r\nLoneKey\r\n"
            "MSG0708=\"Time left: \"\r\n; a comment\r\n  MSG0102 = Spaced = text \r\n");
  LanguageManager texts(dir_.path());
  EXPECT_EQ(texts.CurrentLanguage(), "English");
  EXPECT_TRUE(texts.Languages().empty());
  const LanguageManager::SectionMap& messages = texts.Section("Messages");
  EXPECT_EQ(LanguageManager::Text(messages, "MSG0101"), "First");  // the first key wins
  EXPECT_EQ(LanguageManager::Text(messages, "LoneKey"), "LoneKey");
  EXPECT_EQ(LanguageManager::Text(messages, "MSG0708"), "Time left: ");
  EXPECT_EQ(LanguageManager::Text(messages, "MSG0102"), "Spaced = text");
  EXPECT_EQ(LanguageManager::Text(messages, "MSG9999"), "");
  EXPECT_TRUE(texts.Section("NoSuchWindow").empty());
}

TEST_F(Languages, MissingLanguageFileGivesEmptyTexts) {
  WriteText(dir_.File("config.ini"), "[DefaultLanguage]\nDefault=French\n");
  LanguageManager texts(dir_.path());
  EXPECT_EQ(texts.CurrentLanguage(), "French");
  EXPECT_EQ(texts.Text("Messages", "MSG0101"), "");
  EXPECT_FALSE(texts.HasLanguageFile("French"));
  EXPECT_FALSE(texts.HasLanguageFile("../config"));
}

TEST_F(Languages, ChosenLanguageIsStoredAndOpensTheNextStart) {
  WriteText(dir_.File("config.ini"),
            "; settings\n[DefaultLanguage]\nDefault=English\n\n[Languages]\nEnglish=English\nGerman=Deutsch\n"
            "English=Again\n");
  WriteText(dir_.File("Languages/English.ini"), "[Messages]\nMSG0403=Information\n");
  WriteText(dir_.File("Languages/German.ini"), "[Messages]\nMSG0403=Hinweis\n");
  LanguageManager texts(dir_.path());
  ASSERT_EQ(texts.Languages().size(), 2u);
  EXPECT_EQ(texts.Languages()[1].first, "German");
  EXPECT_EQ(texts.Languages()[1].second, "Deutsch");
  texts.SetLanguage("German");
  EXPECT_EQ(texts.CurrentLanguage(), "German");
  EXPECT_EQ(texts.Text("Messages", "MSG0403"), "Hinweis");
  // Only the one value changed; comments and the language list stay.
  EXPECT_EQ(ReadText(dir_.File("config.ini")),
            "; settings\n[DefaultLanguage]\nDefault=German\n\n[Languages]\nEnglish=English\nGerman=Deutsch\n"
            "English=Again\n");
  LanguageManager nextStart(dir_.path());
  EXPECT_EQ(nextStart.CurrentLanguage(), "German");
  EXPECT_EQ(nextStart.Text("Messages", "MSG0403"), "Hinweis");
  // A language used for one run only leaves the settings alone.
  nextStart.UseLanguage("English");
  EXPECT_EQ(nextStart.Text("Messages", "MSG0403"), "Information");
  EXPECT_EQ(LanguageManager(dir_.path()).CurrentLanguage(), "German");
}

TEST(IniFile, SetValueAddsMissingSectionsAndKeys) {
  IniFile ini;
  ini.Parse("[A]\nx=1\n\n[B]\ny=2\n");
  ini.SetValue("A", "z", "3");
  ini.SetValue("C", "w", "4");
  EXPECT_EQ(ini.Text(), "[A]\nx=1\nz=3\n\n[B]\ny=2\n[C]\nw=4\n");
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(FormatChecked, LanguageTextsOnlyFormatWithTheArgumentsGiven) {
  EXPECT_EQ(FormatChecked("Scanning partition %d", "d", 3), "Scanning partition 3");
  EXPECT_EQ(FormatChecked("%d of %d: %d ok, %d failed", "dddd", 4, 9, 3, 1), "4 of 9: 3 ok, 1 failed");
  EXPECT_EQ(FormatChecked("%s %llu 100%%", "sU", "x", 5ULL), "x 5 100%");
  // More conversions than arguments, other kinds, or %n: shown unformatted.
  const char* bad[] = {"%d %d", "%s", "%n", "%*d", "%ld"};
  for (const char* format : bad) EXPECT_EQ(FormatChecked(format, "d", 1), format) << format;
}

// Every message identifier the program uses, with the printf arguments the
// code passes to it; every shipped language has all of them.
TEST(ShippedLanguages, HaveEveryMessageWithItsArguments) {
  std::vector<std::pair<std::string, const char*>> ids;
  auto range = [&](int from, int to) {
    for (int n = from; n <= to; ++n) {
      char id[8];
      std::snprintf(id, sizeof id, "MSG%04d", n);
      ids.emplace_back(id, "");
    }
  };
  range(101, 104), range(201, 214), range(216, 221), range(301, 306), range(401, 405), range(501, 505);
  range(601, 602), range(701, 709), range(801, 805), range(807, 812), range(901, 905), range(1005, 1005);
  range(1101, 1103), range(1201, 1207), range(1209, 1209), range(1211, 1226);
  const std::pair<const char*, const char*> formats[] = {{"MSG0701", "c"}, {"MSG0702", "d"},   {"MSG0802", "s"},
                                                         {"MSG0804", "sd"}, {"MSG1102", "dddd"}, {"MSG1201", "c"},
                                                         {"MSG1202", "d"}, {"MSG1203", "s"},    {"MSG1226", "d"}};
  for (auto& [id, expected] : ids)
    for (const auto& f : formats)
      if (id == f.first) expected = f.second;
  ASSERT_EQ(ids.size(), 95u);

  const std::string folder = std::string(MENDWELL_SOURCE_DIR) + "/languages/";
  LanguageManager shipped(folder);
  ASSERT_GE(shipped.Languages().size(), 2u);
  std::set<std::string> englishCli;
  for (const auto& [key, text] : shipped.Section("Cli")) englishCli.insert(key);
  for (const auto& [language, menuText] : shipped.Languages()) {
    SCOPED_TRACE(language);
    ASSERT_TRUE(shipped.HasLanguageFile(language));
    shipped.UseLanguage(language);
    for (const auto& [id, expected] : ids) {
      std::string text = shipped.Text("Messages", id);
      EXPECT_FALSE(text.empty()) << id;
      EXPECT_TRUE(FormatFits(text, expected)) << id << ": " << text;
      if (*expected) {
        EXPECT_FALSE(FormatFits(text, "")) << id << " lacks its arguments";
      }
    }
    std::set<std::string> cli;
    for (const auto& [key, text] : shipped.Section("Cli")) cli.insert(key);
    EXPECT_EQ(cli, englishCli);
    for (const char* window : {"MainWnd", "MenuWnd", "MessageBox", "CreateImageWnd", "ScanWnd", "SearchProcessWnd",
                               "RecoverProcessWnd", "PreviewProcessWnd"})
      EXPECT_FALSE(shipped.Section(window).empty()) << window;
  }
}

}  // namespace
}  // namespace mendwell
