// The signature catalogue: recognises a file format from the first sector
// of its data.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/sector_device.h"
#include "platform/byte_view.h"

namespace mendwell {

// Whether a file's first sector still holds what its extension promises.
// True when the catalogue does not know the extension (nothing can be
// told). Some tests read further sectors through reader, starting at
// sectorNumber (the absolute sector the bytes came from); reader may be
// null, and then such a test sees no further sectors.
bool ContentMatchesExtension(ByteView sector, uint32_t sectorSize, std::string_view extension, SectorDevice* reader,
                             uint64_t sectorNumber);

}  // namespace mendwell
