// The checks made before a medium is copied into an image file: the
// destination must not lie on the source, must be able to hold a file of
// the source's size, and must have room for it.
#pragma once

#include <cstdint>
#include <string>

namespace mendwell {

enum class ImageDestinationCheck {
  kAccepted,
  kOnSourceVolume,   // "MSG0218"
  kFatTooSmall,      // "MSG0219": FAT12/16 holds files up to 2 GiB
  kFat32TooSmall,    // "MSG0220": FAT32 holds files up to 4 GiB - 1 byte
  kNotEnoughSpace,   // "MSG0221"
};

// What is known of the volume the image file would be written to.
struct DestinationVolume {
  bool onSource = false;    // the file would lie on the source itself
  std::string fileSystem;   // "NTFS", "FAT32", "FAT", "exFAT", "ext4", ... "" when unknown
  bool freeKnown = false;
  uint64_t freeBytes = 0;
};

// The verdict for an image of sourceBytes bytes. A file system named FAT32
// refuses sources of 4 GiB and more (a FAT32 file is at most 4 GiB - 1
// byte long), one named FAT refuses sources over 2 GiB; exFAT has neither
// limit. An unknown free space accepts the file.
ImageDestinationCheck CheckImageDestination(uint64_t sourceBytes, const DestinationVolume& volume);

// The "Messages" key of a refusal ("" for kAccepted).
const char* ImageDestinationMessageId(ImageDestinationCheck check);

// Facts about the destination of an image file. `sourceVolume` is the
// source's volume (partition device node, or the disk's node or image file
// for a whole disk): a destination on it, or the source file itself, is
// on the source.
DestinationVolume DescribeDestination(const std::string& imagePath, const std::string& sourceVolume);

}  // namespace mendwell
