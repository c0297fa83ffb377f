// The manifests written next to the NTFS fixture images
// (tests/fixtures/ntfs/IMAGE.expected and IMAGE.live): one line per file,
// tab-separated: record, size, sha256, path, name, note.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mendwell::test {

struct NtfsExpected {
  uint32_t record = 0;
  uint64_t size = 0;
  std::string sha256, path, name, note;
  bool Has(const char* word) const { return note.find(word) != std::string::npos; }
};

// The image's deleted files (".expected") or live files of interest (".live").
inline std::vector<NtfsExpected> ReadNtfsManifest(const std::string& image, const char* kind = ".expected") {
  std::vector<NtfsExpected> out;
  std::ifstream in(FixturePath("ntfs/" + image + kind));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    NtfsExpected e;
    std::string record, size;
    std::getline(fields, record, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, e.sha256, '\t');
    std::getline(fields, e.path, '\t');
    std::getline(fields, e.name, '\t');
    std::getline(fields, e.note, '\t');
    e.record = static_cast<uint32_t>(std::stoul(record));
    e.size = std::stoull(size);
    out.push_back(e);
  }
  return out;
}

}  // namespace mendwell::test
