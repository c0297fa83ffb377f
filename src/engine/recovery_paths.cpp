#include "engine/recovery_paths.h"

#include "carving/file_classification.h"
#include "platform/paths.h"

namespace mendwell {

std::string SafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return "_";
  std::string safe(name);
  for (char& c : safe)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return safe;
}

std::string UniquePath(const std::string& path) {
  if (!PathExists(path)) return path;
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  // A dot that begins the name ("/.profile") or sits in a folder name is no
  // extension.
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  std::string stem = path.substr(0, dot), ext = path.substr(dot);
  for (uint32_t n = 1; n < 1000000; ++n) {
    std::string candidate = stem + "(" + std::to_string(n) + ")" + ext;
    if (!PathExists(candidate)) return candidate;
  }
  return path;
}

int32_t CountSeparators(std::string_view path) {
  int32_t n = 0;
  for (size_t i = 0; i + 1 < path.size(); ++i)
    if (path[i] == '/' || path[i] == '\\') ++n;
  return n;
}

Status CreateParentFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return kOk;
  return CreateDirectories(path.substr(0, slash));
}

std::string RecoveryDestination(const std::string& destination, const FileRecord& record) {
  std::string category = record.isFolder ? "others" : CategoryFolderOf(record.Name());
  return UniquePath(destination + "/" + category + "/" + SafeFileName(record.Name()));
}

}  // namespace mendwell
