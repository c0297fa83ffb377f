// Shared by the fuzz targets: each input is written to a file in a private
// folder and opened as a disk image, as the engines open real ones.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/file.h"
#include "platform/paths.h"

namespace mendwell::fuzz {

// The private folder of this process (also the per-user data folder, so
// scan logs stay inside it).
inline const std::string& WorkFolder() {
  static const std::string folder = [] {
    std::string f = "/tmp/mendwell-fuzz-" + std::to_string(::getpid());
    CreateDirectories(f);
    ::setenv("XDG_DATA_HOME", f.c_str(), 1);
    return f;
  }();
  return folder;
}

inline std::string WriteImage(const uint8_t* data, size_t size) {
  std::string path = WorkFolder() + "/input.img";
  FileHandle f;
  f.CreateTruncate(path);
  f.WriteAll(0, data, size);
  return path;
}

}  // namespace mendwell::fuzz
