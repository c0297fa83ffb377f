#include "platform/status.h"

#include <cerrno>
#include <cstdio>

namespace mendwell {

namespace {

struct ErrnoEntry {
  int err;
  Status status;
};

constexpr ErrnoEntry kErrnoTable[] = {
    {ENOENT, kErrFileNotFound},      {ENOTDIR, kErrPathNotFound},   {EMFILE, kErrTooManyOpenFiles},
    {ENFILE, kErrTooManyOpenFiles},  {EACCES, kErrAccessDenied},    {EPERM, kErrAccessDenied},
    {EBADF, kErrInvalidHandle},      {ENOMEM, kErrNotEnoughMemory}, {EROFS, kErrWriteProtect},
    {ENOMEDIUM, kErrNotReady},       {ESPIPE, kErrSeek},            {EIO, kErrReadFault},
    {ETXTBSY, kErrSharingViolation}, {ENOSYS, kErrNotSupported},    {EOPNOTSUPP, kErrNotSupported},
    {ENOTTY, kErrNotSupported},      {EEXIST, kErrAlreadyExists},   {EINVAL, kErrInvalidParameter},
    {EPIPE, kErrBrokenPipe},         {ENOSPC, kErrDiskFull},        {EDQUOT, kErrDiskFull},
    {ENOTEMPTY, kErrDirNotEmpty},    {EBUSY, kErrBusy},             {ENAMETOOLONG, kErrFilenameTooLong},
    {EISDIR, kErrDirectory},         {EFBIG, kErrFileTooLarge},     {ENXIO, kErrNotReady},
    {ENODEV, kErrNotReady},          {ELOOP, kErrInvalidName},
};

struct MessageEntry {
  Status status;
  const char* text;
};

constexpr MessageEntry kMessages[] = {
    {kOk, "The operation completed successfully."},
    {kErrFileNotFound, "The system cannot find the file specified."},
    {kErrPathNotFound, "The system cannot find the path specified."},
    {kErrTooManyOpenFiles, "The system cannot open the file."},
    {kErrAccessDenied, "Access is denied."},
    {kErrInvalidHandle, "The handle is invalid."},
    {kErrNotEnoughMemory, "Not enough memory resources are available to process this command."},
    {kErrWriteProtect, "The media is write protected."},
    {kErrNotReady, "The device is not ready."},
    {kErrSeek, "The drive cannot locate a specific area or track on the disk."},
    {kErrClusterTooLarge, "The cluster size is too large to copy the file."},
    {kErrReadFault, "The system cannot read from the specified device."},
    {kErrSharingViolation, "The process cannot access the file because it is being used by another process."},
    {kErrHandleEof, "Reached the end of the file."},
    {kErrNotSupported, "The request is not supported."},
    {kErrFileExists, "The file exists."},
    {kErrInvalidParameter, "The parameter is incorrect."},
    {kErrBrokenPipe, "The pipe has been ended."},
    {kErrDiskFull, "There is not enough space on the disk."},
    {kErrInsufficientBuffer, "The data area passed to a system call is too small."},
    {kErrInvalidName, "The filename, directory name, or volume label syntax is incorrect."},
    {kErrDirNotEmpty, "The directory is not empty."},
    {kErrBusy, "The requested resource is in use."},
    {kErrAlreadyExists, "Cannot create a file when that file already exists."},
    {kErrFilenameTooLong, "The filename or extension is too long."},
    {kErrMoreData, "More data is available."},
    {kErrDirectory, "The directory name is invalid."},
    {kErrFileTooLarge, "The file size exceeds the limit allowed and cannot be saved."},
    {kErrIoDevice, "The request could not be performed because of an I/O device error."},
    {RESULT_CANCELLED, "The operation was cancelled by the user."},
};

}  // namespace

Status StatusFromErrno(int err) {
  if (err == 0) return kOk;
  for (const ErrnoEntry& e : kErrnoTable)
    if (e.err == err) return e.status;
  return kErrIoDevice;
}

Status LastStatus() { return StatusFromErrno(errno); }

std::string StatusMessage(Status status) {
  for (const MessageEntry& m : kMessages)
    if (m.status == status) return m.text;
  char buf[64];
  std::snprintf(buf, sizeof buf, "Error %d.", static_cast<int>(status));
  return buf;
}

}  // namespace mendwell
