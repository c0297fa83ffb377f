// A small INI reader and writer with the rules of the settings and language
// files: "[section]" lines open sections, "key=value" lines fill them (split
// at the first "="; a line without "=" is its own key and value), the first
// occurrence of a key in a section wins, and sections and keys keep their
// file order. Blank lines and lines starting with ";" or "#" are comments.
// Blanks around keys and values are dropped; a value in double quotes keeps
// the blanks inside them. Text is UTF-8; a leading byte-order mark and CR line ends are accepted.
// Writing a value keeps every other line of the file as it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace mendwell {

class IniFile {
 public:
  using Entries = std::vector<std::pair<std::string, std::string>>;

  // Reads a file; a missing file gives an empty one and 2.
  Status Load(const std::string& path);
  void Parse(const std::string& text);

  // Section names in file order (each once).
  std::vector<std::string> Sections() const;
  // The section's (key, value) pairs in file order, first occurrence of each
  // key only; empty when the section is missing.
  Entries Section(const std::string& name) const;
  // The value of a key, or `fallback` when the section or key is missing.
  std::string Value(const std::string& section, const std::string& key, const std::string& fallback = {}) const;

  // Sets a key: replaces the line of its first occurrence, or appends it to
  // the section, or appends the section at the end.
  void SetValue(const std::string& section, const std::string& key, const std::string& value);
  // Writes the file (through a temporary file, renamed over the old one).
  Status Save(const std::string& path) const;
  std::string Text() const;

 private:
  struct Line {
    std::string raw;
    std::string section;  // the section the line belongs to
    bool isHeader = false;
    bool isEntry = false;
    std::string key, value;
  };
  static Line ParseLine(const std::string& raw, const std::string& section);
  std::vector<Line> lines_;
};

}  // namespace mendwell
