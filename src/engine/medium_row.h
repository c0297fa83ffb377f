// A row the drivers work on: a partition of a disk or an image file, with
// the slot that owns the engine of its last scan.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_interface.h"

namespace mendwell {

struct MediumRow {
  enum class Kind { kPartition, kImage };
  Kind kind = Kind::kImage;
  // Partition rows.
  int32_t diskIndex = -1;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  // The medium tag copied into every record: a drive letter where there is
  // one, else the row number of the media list (image rows: their own
  // number).
  uint16_t tag = 0;
  // Image rows.
  std::string imagePath;
  // The engine of the last scan of this row, or null.
  std::unique_ptr<IFileRecoveryParse> engine;

  static MediumRow Partition(int32_t disk, uint64_t start, uint64_t count, uint16_t tag) {
    MediumRow r;
    r.kind = Kind::kPartition;
    r.diskIndex = disk;
    r.startSector = start;
    r.sectorCount = count;
    r.tag = tag;
    return r;
  }
  static MediumRow Image(std::string path, uint16_t tag) {
    MediumRow r;
    r.kind = Kind::kImage;
    r.imagePath = std::move(path);
    r.tag = tag;
    return r;
  }
};

// What a progress window shows as its stage: which medium is being worked
// on. Front ends turn it into their own text.
struct StageInfo {
  size_t rowIndex = 0;
  MediumRow::Kind kind = MediumRow::Kind::kImage;
  bool hasLetter = false;   // tag is an alphabetic drive letter
  uint16_t tag = 0;         // the letter or the row number
  std::string imageName;    // image rows: the file name without folders
};

StageInfo StageOf(const MediumRow& row, size_t rowIndex);

}  // namespace mendwell
