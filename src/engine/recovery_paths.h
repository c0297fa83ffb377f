// Where recovered files go: destination/category/name, made unique, with
// names from the medium made safe first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_record.h"
#include "platform/status.h"

namespace mendwell {

// A name from the medium made safe to use as one path component: "/" and
// control bytes become "_", and "", "." and ".." become "_", so that no
// recovered name can leave the folder it is written into.
std::string SafeFileName(std::string_view name);

// The path itself when nothing exists there, else the first free
// "base(n).ext" for n = 1, 2, 3, ...
std::string UniquePath(const std::string& path);

// The number of "/" and "\" characters in a path, its last character not
// counted: the depth base engines receive with Recover.
int32_t CountSeparators(std::string_view path);

// Creates the folder that will hold a file (with all missing levels); a
// path without a folder part needs none.
Status CreateParentFolder(const std::string& path);

// destination/category/name for a record (category from the name's
// extension; folders go under "others"), made unique.
std::string RecoveryDestination(const std::string& destination, const FileRecord& record);

}  // namespace mendwell
