// Paths and folders: the per-user data folder, the executable's folder, and
// the few file-system operations the program needs on its own files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace mendwell {

// $XDG_DATA_HOME, or ~/.local/share; no trailing "/".
std::string AppDataFolder();

// Folder of the running executable, ending with "/".
std::string ExecutableFolder();

// Creates a folder with all missing parents. An existing folder is success.
Status CreateDirectories(const std::string& path);

// Deletes a folder with everything in it; a missing folder is success.
Status RemoveTree(const std::string& path);

bool PathExists(const std::string& path);
bool IsDirectoryPath(const std::string& path);

Status RenamePath(const std::string& from, const std::string& to);
Status RemoveFile(const std::string& path);

// Last-write time of a file as a FILETIME value.
Status LastWriteFileTime(const std::string& path, uint64_t* fileTime);

// Names inside a folder (not "." and ".."), in the order the system gives.
Status ListFolder(const std::string& path, std::vector<std::string>* names);

// The part of a path after its last "/" (or "\").
std::string BaseName(const std::string& path);

// The canonical absolute form of a path when it exists, else the path made
// absolute lexically.
std::string AbsolutePath(const std::string& path);

}  // namespace mendwell

namespace mendwell {

// Asks the kernel to back a large buffer with huge pages where it can:
// filling hundreds of megabytes page by page costs more in page faults than
// in copying. Harmless when refused.
void AdviseLargeBuffer(void* data, size_t bytes);

}  // namespace mendwell
