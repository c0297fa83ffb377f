#include "app/ini_file.h"

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/paths.h"

namespace mendwell {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

IniFile::Line IniFile::ParseLine(const std::string& raw, const std::string& section) {
  Line line;
  line.raw = raw;
  line.section = section;
  std::string t = Trim(raw);
  if (t.empty() || t[0] == ';' || t[0] == '#') return line;
  if (t[0] == '[') {
    size_t close = t.find(']');
    line.isHeader = true;
    line.section = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return line;
  }
  line.isEntry = true;
  size_t eq = t.find('=');
  if (eq == std::string::npos) {
    line.key = line.value = t;
  } else {
    line.key = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
    // Quotes keep blanks at either end of a text ("Time left: ").
    if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"')
      line.value = line.value.substr(1, line.value.size() - 2);
  }
  return line;
}

Status IniFile::Load(const std::string& path) {
  lines_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return kErrFileNotFound;
  Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  return kOk;
}

void IniFile::Parse(const std::string& text) {
  lines_.clear();
  std::string body = text;
  if (body.rfind("\xEF\xBB\xBF", 0) == 0) body.erase(0, 3);
  std::string section;
  std::istringstream in(body);
  std::string raw;
  while (std::getline(in, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    Line line = ParseLine(raw, section);
    if (line.isHeader) section = line.section;
    lines_.push_back(std::move(line));
  }
}

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const Line& l : lines_)
    if (l.isHeader && seen.insert(l.section).second) names.push_back(l.section);
  return names;
}

IniFile::Entries IniFile::Section(const std::string& name) const {
  Entries entries;
  std::set<std::string> seen;
  for (const Line& l : lines_)
    if (l.isEntry && l.section == name && seen.insert(l.key).second) entries.emplace_back(l.key, l.value);
  return entries;
}

std::string IniFile::Value(const std::string& section, const std::string& key, const std::string& fallback) const {
  for (const Line& l : lines_)
    if (l.isEntry && l.section == section && l.key == key) return l.value;
  return fallback;
}

void IniFile::SetValue(const std::string& section, const std::string& key, const std::string& value) {
  const std::string raw = key + "=" + value;
  size_t lastOfSection = std::string::npos;
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& l = lines_[i];
    if (l.section != section) continue;
    if (l.isEntry && l.key == key) {
      l = ParseLine(raw, section);
      return;
    }
    if (l.isHeader || l.isEntry) lastOfSection = i;
  }
  if (lastOfSection != std::string::npos) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastOfSection) + 1, ParseLine(raw, section));
    return;
  }
  lines_.push_back(ParseLine("[" + section + "]", {}));
  lines_.back().section = section;
  lines_.push_back(ParseLine(raw, section));
}

std::string IniFile::Text() const {
  std::string text;
  for (const Line& l : lines_) text += l.raw + "\n";
  return text;
}

Status IniFile::Save(const std::string& path) const {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return kErrAccessDenied;
    out << Text();
    if (!out.flush()) return kErrDiskFull;
  }
  return RenamePath(temporary, path);
}

}  // namespace mendwell
