#include "app/image_destination.h"

#include "platform/partition_table.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace mendwell {

namespace {

constexpr uint64_t kFat32FileLimit = 4294967295ULL;  // largest FAT32 file
constexpr uint64_t kFatFileLimit = 2147483648ULL;

}  // namespace

ImageDestinationCheck CheckImageDestination(uint64_t sourceBytes, const DestinationVolume& volume) {
  if (volume.onSource) return ImageDestinationCheck::kOnSourceVolume;
  std::string name = AsciiLower(volume.fileSystem);
  if (name.find("fat32") != std::string::npos) {
    if (sourceBytes > kFat32FileLimit) return ImageDestinationCheck::kFat32TooSmall;
  } else if (name.find("fat") != std::string::npos && name.find("exfat") == std::string::npos) {
    if (sourceBytes > kFatFileLimit) return ImageDestinationCheck::kFatTooSmall;
  }
  if (volume.freeKnown && volume.freeBytes < sourceBytes) return ImageDestinationCheck::kNotEnoughSpace;
  return ImageDestinationCheck::kAccepted;
}

const char* ImageDestinationMessageId(ImageDestinationCheck check) {
  switch (check) {
    case ImageDestinationCheck::kOnSourceVolume:
      return "MSG0218";
    case ImageDestinationCheck::kFatTooSmall:
      return "MSG0219";
    case ImageDestinationCheck::kFat32TooSmall:
      return "MSG0220";
    case ImageDestinationCheck::kNotEnoughSpace:
      return "MSG0221";
    case ImageDestinationCheck::kAccepted:
      break;
  }
  return "";
}

DestinationVolume DescribeDestination(const std::string& imagePath, const std::string& sourceVolume) {
  DestinationVolume v;
  v.onSource = !sourceVolume.empty() &&
               (OverlapsDevice(imagePath, sourceVolume) || PathIsOnDevice(imagePath, sourceVolume));
  std::string source, mountPoint, kernelType;
  if (!MountOfPath(imagePath, &source, &mountPoint, &kernelType)) return v;
  std::string type;
  if (IsBlockDevicePath(source) && ProbeFileSystem(source, 0, 0, &type, nullptr) == kOk && !type.empty()) {
    v.fileSystem = type;
  } else if (kernelType == "vfat" || kernelType == "msdos") {
    // Unreadable FAT device: take the kind that allows the larger file;
    // Linux writes up to 4 GiB - 1 byte on every FAT.
    v.fileSystem = "FAT32";
  } else if (kernelType == "ntfs" || kernelType == "ntfs3") {
    v.fileSystem = "NTFS";
  } else if (kernelType == "exfat") {
    v.fileSystem = "exFAT";
  } else {
    v.fileSystem = kernelType;
  }
  uint64_t total = 0, free = 0;
  if (VolumeSpace(mountPoint, &total, &free) == kOk) {
    v.freeKnown = true;
    v.freeBytes = free;
  }
  return v;
}

}  // namespace mendwell
