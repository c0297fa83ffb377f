// Status codes shared by every module.
//
// The code vocabulary is that of Windows error codes (0 success, 87 bad
// argument or read past the medium, 30 read fault, ...), so that stored logs,
// callers and messages agree across the program. errno values are mapped onto
// the nearest code here, in one table, which also gives the English message
// shown for a failed file.
#pragma once

#include <cstdint>
#include <string>

namespace mendwell {

using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kErrFileNotFound = 2;
inline constexpr Status kErrPathNotFound = 3;
inline constexpr Status kErrTooManyOpenFiles = 4;
inline constexpr Status kErrAccessDenied = 5;
inline constexpr Status kErrInvalidHandle = 6;
inline constexpr Status kErrNotEnoughMemory = 8;
inline constexpr Status kErrWriteProtect = 19;
inline constexpr Status kErrNotReady = 21;
inline constexpr Status kErrSeek = 25;
inline constexpr Status kErrClusterTooLarge = 29;  // also Windows' ERROR_WRITE_FAULT
inline constexpr Status kErrReadFault = 30;
inline constexpr Status kErrSharingViolation = 32;
inline constexpr Status kErrHandleEof = 38;
inline constexpr Status kErrNotSupported = 50;
inline constexpr Status kErrFileExists = 80;
inline constexpr Status kErrInvalidParameter = 87;
inline constexpr Status kErrBrokenPipe = 109;
inline constexpr Status kErrDiskFull = 112;
inline constexpr Status kErrInsufficientBuffer = 122;
inline constexpr Status kErrInvalidName = 123;
inline constexpr Status kErrDirNotEmpty = 145;
inline constexpr Status kErrBusy = 170;
inline constexpr Status kErrAlreadyExists = 183;
inline constexpr Status kErrFilenameTooLong = 206;
inline constexpr Status kErrMoreData = 234;
inline constexpr Status kErrDirectory = 267;
inline constexpr Status kErrFileTooLarge = 223;
inline constexpr Status kErrIoDevice = 1117;

// Returned by a progress callback, and passed up by an operation, when the
// user cancelled.
inline constexpr Status RESULT_CANCELLED = -9527;

// The status code for an errno value (0 for 0).
Status StatusFromErrno(int err);

// The status code for the current errno.
Status LastStatus();

// English text for a status code, as shown for a failed file.
std::string StatusMessage(Status status);

}  // namespace mendwell
