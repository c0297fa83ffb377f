#include "app/language_manager.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/ini_file.h"
#include "platform/paths.h"

namespace mendwell {

namespace {

const char kDefaultLanguage[] = "English";

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) return format;
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(length));
  return out;
}

// Whether one printf conversion (flags, width, precision, length and
// letter, without '*' and without %n) fits the argument kind the caller
// passes: 'd' int, 'c' char, 's' text, 'U' unsigned 64-bit.
bool ConversionFits(const std::string& length, char letter, char expected) {
  switch (expected) {
    case 'd':
      return length.empty() && (letter == 'd' || letter == 'i');
    case 'c':
      return length.empty() && letter == 'c';
    case 's':
      return length.empty() && letter == 's';
    case 'U':
      return length == "ll" && (letter == 'u' || letter == 'd' || letter == 'x' || letter == 'X');
    default:
      return false;
  }
}

}  // namespace

bool FormatFits(const std::string& format, const char* expected) {
  size_t next = 0;
  const size_t count = std::strlen(expected);
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i >= format.size()) return false;
    if (format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    if (i < format.size() && format[i] == '.') {
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    }
    std::string length;
    while (i < format.size() && std::strchr("hlLqjzt", format[i])) length += format[i++];
    if (i >= format.size() || next >= count) return false;
    if (!ConversionFits(length, format[i], expected[next++])) return false;
  }
  return true;
}

LanguageManager& LanguageManager::Instance() {
  static LanguageManager manager(ExecutableFolder());
  return manager;
}

LanguageManager::LanguageManager(const std::string& appFolder) {
  std::string folder = appFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  settingsPath_ = folder + "config.ini";
  languagesFolder_ = folder + "Languages/";
  ReadCurrentLanguage();
  IniFile settings;
  settings.Load(settingsPath_);
  for (const auto& [identifier, menuText] : settings.Section("Languages")) languages_.emplace_back(identifier, menuText);
  LoadLanguageFile();
}

void LanguageManager::ReadCurrentLanguage() {
  IniFile settings;
  settings.Load(settingsPath_);
  current_ = settings.Value("DefaultLanguage", "Default", kDefaultLanguage);
  if (current_.empty()) current_ = kDefaultLanguage;
}

void LanguageManager::LoadLanguageFile() {
  table_.clear();
  // An identifier is a file name inside the languages folder, never a path.
  if (current_.find('/') != std::string::npos || current_ == "." || current_ == "..") return;
  IniFile file;
  if (file.Load(languagesFolder_ + current_ + ".ini") != kOk) return;
  for (const std::string& section : file.Sections()) {
    SectionMap& map = table_[section];
    for (const auto& [key, text] : file.Section(section)) map.emplace(key, text);
  }
}

const LanguageManager::SectionMap& LanguageManager::Section(const std::string& name) const {
  static const SectionMap kEmpty;
  auto it = table_.find(name);
  return it == table_.end() ? kEmpty : it->second;
}

std::string LanguageManager::Text(const SectionMap& section, const std::string& key) {
  auto it = section.find(key);
  return it == section.end() ? std::string() : it->second;
}

std::string LanguageManager::Text(const std::string& section, const std::string& key) const {
  return Text(Section(section), key);
}

void LanguageManager::SetLanguage(const std::string& identifier) {
  IniFile settings;
  settings.Load(settingsPath_);
  settings.SetValue("DefaultLanguage", "Default", identifier);
  settings.Save(settingsPath_);  // a settings file that cannot be written changes nothing
  ReadCurrentLanguage();
  LoadLanguageFile();
}

void LanguageManager::UseLanguage(const std::string& identifier) {
  current_ = identifier.empty() ? kDefaultLanguage : identifier;
  LoadLanguageFile();
}

bool LanguageManager::HasLanguageFile(const std::string& identifier) const {
  if (identifier.empty() || identifier.find('/') != std::string::npos || identifier == "." || identifier == "..")
    return false;
  return PathExists(languagesFolder_ + identifier + ".ini") && !IsDirectoryPath(languagesFolder_ + identifier + ".ini");
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = VFormat(format, args);
  va_end(args);
  return out;
}

std::string FormatChecked(const std::string& format, const char* expected, ...) {
  if (!FormatFits(format, expected)) return format;
  va_list args;
  va_start(args, expected);
  std::string out = VFormat(format.c_str(), args);
  va_end(args);
  return out;
}

}  // namespace mendwell
