// Every text a person sees, by section and key, from the language files
// beside the executable:
//   config.ini                [DefaultLanguage] Default=<id>
//                             [Languages] <id>=<menu text>, in menu order
//   Languages/<id>.ini        [Messages] MSG0101=..., one section per window
// Texts are UTF-8 and many are printf formats. A missing file, section or
// key gives empty texts; nothing is reported.
//
// Applying a window's section to its controls belongs to the GUI, which
// walks Section("<window>") itself; this library knows no GUI toolkit.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mendwell {

class LanguageManager {
 public:
  using SectionMap = std::map<std::string, std::string>;
  using LanguageList = std::vector<std::pair<std::string, std::string>>;  // (identifier, menu text)

  // The process-wide manager for the folder of the running executable,
  // created and loaded on first use.
  static LanguageManager& Instance();

  // A manager for an application folder ending with "/" (tests, tools).
  explicit LanguageManager(const std::string& appFolder);

  // The key -> text map of a section; an empty map when it is missing.
  const SectionMap& Section(const std::string& name) const;
  // The text of a key; "" when missing.
  static std::string Text(const SectionMap& section, const std::string& key);
  // Shorthand for Text(Section(section), key).
  std::string Text(const std::string& section, const std::string& key) const;

  const LanguageList& Languages() const { return languages_; }
  const std::string& CurrentLanguage() const { return current_; }

  // Stores the identifier as the default language in config.ini, reads the
  // current language back from it and loads that language's file. The
  // language list is not read again.
  void SetLanguage(const std::string& identifier);

  // Makes a language current for this process only (config.ini unchanged).
  void UseLanguage(const std::string& identifier);

  // Whether Languages/<identifier>.ini exists.
  bool HasLanguageFile(const std::string& identifier) const;

  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& LanguagesFolder() const { return languagesFolder_; }

 private:
  void ReadCurrentLanguage();
  void LoadLanguageFile();

  std::string settingsPath_;
  std::string languagesFolder_;
  std::string current_;
  LanguageList languages_;
  std::map<std::string, SectionMap> table_;
};

// printf-style formatting into a std::string, for the texts used as formats.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with a format taken from a language file: only the conversions
// the caller names in `expected` (e.g. "dd", "s") may appear in it, in that
// order; otherwise the text is returned without formatting, so that a
// damaged language file cannot make printf read arguments that are not
// there.
std::string FormatChecked(const std::string& format, const char* expected, ...);
// Whether a format's conversions fit `expected` ('d' int, 'c' char, 's'
// text, 'U' unsigned 64-bit with "ll"), in order, with no more of them.
bool FormatFits(const std::string& format, const char* expected);

}  // namespace mendwell
