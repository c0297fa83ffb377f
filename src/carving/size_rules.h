// Size rules: how many bytes belong to a file whose first sector the
// signature catalogue recognised.
//
// Files are taken to start on a sector boundary and to be stored
// contiguously. Where a format states its length in its header, that length
// is believed; otherwise the rule reads ahead, one 64 KiB block at a time
// into the context's scratch buffer, until it meets the format's end
// marker, the start of another recognised file, a file-system structure,
// the type's size cap or the end of the device.
//
// No rule allocates memory or reads outside the device. Each read-ahead
// block is reported through the context's progress callback; a non-zero
// answer is kept as the context's cancelResult and ends the rule with the
// size reached so far.
#pragma once

#include <cstdint>

#include "carving/carve_context.h"
#include "carving/signature_catalogue.h"
#include "platform/byte_view.h"

namespace mendwell {

// The size in bytes of the file of type `code` whose first sector is
// `firstSector` (at most context.sectorSize bytes are looked at). The
// caller sets context.startSector = context.currentSector = the file's
// first sector, the progress fields and the scratch buffer (without it only
// the header rules can measure; read-ahead rules give one sector). The
// result never passes the type's cap nor the end of the device; a type
// that is never carved measures 0.
uint64_t MeasureFile(CarveContext& context, FileTypeCode code, ByteView firstSector);

// Walks the sectors of a read-ahead block: for each, advances
// context.currentSector by one and stops at the first sector that starts a
// recognised file or is a file-system structure, adding its offset in the
// block to *size. False when the block holds none.
bool FindNextFileStart(CarveContext& context, ByteView block, uint64_t* size);

// The same, except that MPEG stream starts do not stop the walk (a program
// stream repeats its pack headers).
bool FindNextFileStartMpeg(CarveContext& context, ByteView block, uint64_t* size);

// A quick necessary condition of every header test: false means no
// catalogue test can recognise the sector. Lets a scan pass over ordinary
// data without running the whole catalogue.
bool MayStartFile(ByteView sector);

}  // namespace mendwell
