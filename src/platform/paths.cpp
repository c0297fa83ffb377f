#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/time.h"

namespace mendwell {

namespace fs = std::filesystem;

std::string AppDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "/tmp") + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

std::string ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

Status CreateDirectories(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) {
    if (fs::is_directory(path)) return kOk;
    return StatusFromErrno(ec.value());
  }
  return kOk;
}

Status RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  return ec ? StatusFromErrno(ec.value()) : kOk;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectoryPath(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status RenamePath(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return LastStatus();
  return kOk;
}

Status RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return LastStatus();
  return kOk;
}

Status LastWriteFileTime(const std::string& path, uint64_t* fileTime) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return LastStatus();
  *fileTime = UnixToFileTime(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
  return kOk;
}

Status ListFolder(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return StatusFromErrno(ec.value());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return StatusFromErrno(ec.value());
    names->push_back(it->path().filename().string());
  }
  return kOk;
}

std::string BaseName(const std::string& path) {
  size_t pos = path.find_last_of("/\\");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  fs::path canonical = fs::canonical(path, ec);
  if (!ec) return canonical.string();
  return fs::absolute(path, ec).lexically_normal().string();
}

}  // namespace mendwell

#include <sys/mman.h>

namespace mendwell {

void AdviseLargeBuffer(void* data, size_t bytes) {
  constexpr uintptr_t kHuge = 2u << 20;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace mendwell
