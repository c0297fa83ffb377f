#include "cli/cli_text.h"

#include <cstdio>
#include <cstring>

#include "app/language_manager.h"

namespace mendwell::cli {

namespace {

// Said in English because no language file could be read: the one text of
// the command line that cannot come from them.
void WarnWhenTextsMissing() {
  static bool warned = false;
  LanguageManager& texts = LanguageManager::Instance();
  if (warned || !texts.Section("Messages").empty()) return;
  warned = true;
  std::fprintf(stderr, "mendwell-cli: no language file found in %s (texts will be empty)\n",
               texts.LanguagesFolder().c_str());
}

}  // namespace

std::string Msg(const char* key) {
  WarnWhenTextsMissing();
  return LanguageManager::Instance().Text("Messages", key);
}

std::string CliText(const char* key) {
  WarnWhenTextsMissing();
  return LanguageManager::Instance().Text("Cli", key);
}

void PrintError(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

bool ApplyLanguageOption(int* argc, char** argv) {
  std::string identifier;
  bool given = false, missingValue = false;
  int out = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp(argv[i], "--lang") == 0) {
      given = true;
      if (i + 1 < *argc) {
        identifier = argv[++i];
      } else {
        missingValue = true;
      }
      continue;
    }
    if (std::strncmp(argv[i], "--lang=", 7) == 0) {
      given = true;
      identifier = argv[i] + 7;
      continue;
    }
    argv[out++] = argv[i];
  }
  *argc = out;
  argv[out] = nullptr;
  if (!given) return true;
  LanguageManager& texts = LanguageManager::Instance();
  if (missingValue || !texts.HasLanguageFile(identifier)) {
    PrintError(FormatChecked(CliText("LanguageUnknown"), "s", identifier.c_str()));
    return false;
  }
  texts.UseLanguage(identifier);
  return true;
}

}  // namespace mendwell::cli
