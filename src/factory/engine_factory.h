// The factories: read a medium's first 16 KiB, classify its file system and
// build the engine for the chosen mode. They know every engine class, so
// they sit above the engine libraries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_interface.h"
#include "engine/file_system_class.h"
#include "engine/medium_row.h"
#include "platform/status.h"

namespace mendwell {

// Reads the first 16 KiB of a partition of disk N (after flushing the
// volume mounted there) or of an image file and classifies it. A medium that
// cannot be opened or read, or that is shorter than 16 KiB, gives the
// failure status (30 for a short medium).
Status ClassifyPartition(int32_t diskIndex, uint64_t startSector, FileSystemClass* result);
Status ClassifyImage(const std::string& path, FileSystemClass* result);

// Builds and opens the engine for a partition of disk N; null when the
// medium cannot be read or, in the deleted-files mode, holds no file system
// with an engine. professional != 0 builds the combined engine whatever the
// file system.
std::unique_ptr<IFileRecoveryParse> CreatePartitionEngine(int32_t diskIndex, uint64_t startSector,
                                                          uint64_t sectorCount, uint16_t tag, int32_t professional);

// The same for an image file (start 0, OpenImage instead of OpenPartition).
std::unique_ptr<IFileRecoveryParse> CreateImageEngine(const std::string& path, uint16_t tag, int32_t professional);

// The engine for a row of the drivers (partition or image), as the scan
// driver's EngineFactory.
std::unique_ptr<IFileRecoveryParse> CreateRowEngine(const MediumRow& row, int32_t professional);

}  // namespace mendwell
