#include "platform/file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mendwell {

namespace {

Status OpenWith(FileHandle* self, const std::string& path, int flags) {
  self->Close();
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastStatus();
  *self = FileHandle(fd);
  return kOk;
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Status FileHandle::OpenReadOnly(const std::string& path) { return OpenWith(this, path, O_RDONLY); }
Status FileHandle::OpenReadWrite(const std::string& path) { return OpenWith(this, path, O_RDWR); }
Status FileHandle::OpenAlways(const std::string& path) { return OpenWith(this, path, O_RDWR | O_CREAT); }
Status FileHandle::CreateTruncate(const std::string& path) {
  return OpenWith(this, path, O_RDWR | O_CREAT | O_TRUNC);
}

void FileHandle::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

Status FileHandle::Size(uint64_t* bytes) const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return LastStatus();
  if (S_ISBLK(st.st_mode)) {
    uint64_t size = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &size) != 0) return LastStatus();
    *bytes = size;
    return kOk;
  }
  *bytes = static_cast<uint64_t>(st.st_size);
  return kOk;
}

bool FileHandle::IsBlockDevice() const {
  struct stat st;
  return ::fstat(fd_, &st) == 0 && S_ISBLK(st.st_mode);
}

bool FileHandle::IsDirectory() const {
  struct stat st;
  return ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

Status FileHandle::ReadSome(void* buffer, size_t length, size_t* done) {
  *done = 0;
  ssize_t n;
  do {
    n = ::read(fd_, buffer, length);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastStatus();
  *done = static_cast<size_t>(n);
  return kOk;
}

Status FileHandle::WriteSome(const void* buffer, size_t length, size_t* done) {
  *done = 0;
  ssize_t n;
  do {
    n = ::write(fd_, buffer, length);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastStatus();
  *done = static_cast<size_t>(n);
  return kOk;
}

Status FileHandle::ReadAtSome(uint64_t offset, void* buffer, size_t length, size_t* done) const {
  *done = 0;
  if (offset > static_cast<uint64_t>(INT64_MAX)) return kErrInvalidParameter;
  ssize_t n;
  do {
    n = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastStatus();
  *done = static_cast<size_t>(n);
  return kOk;
}

Status FileHandle::WriteAll(uint64_t offset, const void* buffer, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pwrite(fd_, bytes + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastStatus();
    if (n == 0) return kErrDiskFull;
    done += static_cast<size_t>(n);
  }
  return kOk;
}

Status FileHandle::ReadAll(uint64_t offset, void* buffer, size_t length) const {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    size_t got = 0;
    Status st = ReadAtSome(offset + done, bytes + done, length - done, &got);
    if (st != kOk) return st;
    if (got == 0) return kErrReadFault;
    done += got;
  }
  return kOk;
}

Status FileHandle::Seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) return kErrInvalidParameter;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return LastStatus();
  return kOk;
}

Status FileHandle::SeekEnd(uint64_t* newPosition) {
  off_t pos = ::lseek(fd_, 0, SEEK_END);
  if (pos < 0) return LastStatus();
  if (newPosition) *newPosition = static_cast<uint64_t>(pos);
  return kOk;
}

Status FileHandle::Truncate(uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return LastStatus();
  return kOk;
}

Status FileHandle::Sync() {
  if (::fsync(fd_) != 0) return LastStatus();
  return kOk;
}

}  // namespace mendwell
