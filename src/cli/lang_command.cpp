// mendwell-cli lang: lists the languages, or stores the default one.
#include <cstdio>
#include <string>

#include "app/language_manager.h"
#include "cli/arguments.h"
#include "cli/cli_text.h"
#include "cli/commands.h"

namespace mendwell::cli {

int LangCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, {}, &error) || args.Positional().size() > 1) {
    if (!error.empty()) PrintError("mendwell-cli lang: " + error);
    PrintError(CliText("UsageLang"));
    return 2;
  }
  LanguageManager& texts = LanguageManager::Instance();
  if (args.Positional().empty()) {
    std::printf("%s\n", CliText("LanguagesTitle").c_str());
    for (const auto& [identifier, menuText] : texts.Languages())
      std::printf("%s %s (%s)\n", identifier == texts.CurrentLanguage() ? "*" : " ", identifier.c_str(),
                  menuText.c_str());
    return 0;
  }
  const std::string identifier = args.Positional()[0];
  if (!texts.HasLanguageFile(identifier)) {
    PrintError(FormatChecked(CliText("LanguageUnknown"), "s", identifier.c_str()));
    return 1;
  }
  texts.SetLanguage(identifier);
  if (texts.CurrentLanguage() != identifier) {
    PrintError(FormatChecked(CliText("LanguageNotStored"), "s", texts.SettingsPath().c_str()));
    return 1;
  }
  std::printf("%s\n", FormatChecked(CliText("LanguageStored"), "s", identifier.c_str()).c_str());
  return 0;
}

}  // namespace mendwell::cli
