// The file-access layer over POSIX descriptors, for host programs and tests.
// Sharing modes have no POSIX counterpart and are not enforced.
#include "base/FileAccess.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileHandle FileOpen(const char* path, int mode) {
  int flags = mode == kFileRead ? O_RDONLY : mode == kFileWrite ? O_WRONLY : O_RDWR;
  int fd = open(path, flags | O_CLOEXEC);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return kInvalidFile;
  }
  return fd;
}

FileHandle FileCreate(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle FileCreateNew(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

uint32_t FileReadSome(FileHandle file, void* buffer, uint32_t n) {
  // Like ReadFile on a disk file: short only at the end of the file.
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    ssize_t got = read(static_cast<int>(file), out + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

int FileRead(FileHandle file, void* buffer, uint32_t n) {
  return FileReadSome(file, buffer, n) == n ? 0 : 1;
}

int FileWrite(FileHandle file, const void* buffer, uint32_t n) {
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    ssize_t put = write(static_cast<int>(file), in + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return done == 0 ? 2 : 3;
    if (put == 0) return 3;
    done += static_cast<uint32_t>(put);
  }
  return 0;
}

static uint32_t Seek(FileHandle file, off_t offset, int whence) {
  off_t at = lseek(static_cast<int>(file), offset, whence);
  if (at < 0 || at >= static_cast<off_t>(kFileBadPosition)) return kFileBadPosition;
  return static_cast<uint32_t>(at);
}

uint32_t FileTell(FileHandle file) { return Seek(file, 0, SEEK_CUR); }
uint32_t FileSeekTo(FileHandle file, uint32_t offset) { return Seek(file, offset, SEEK_SET); }
uint32_t FileSkip(FileHandle file, int32_t delta) { return Seek(file, delta, SEEK_CUR); }
uint32_t FileSeekEnd(FileHandle file, int32_t delta) { return Seek(file, delta, SEEK_END); }

uint32_t FileSize(FileHandle file) {
  struct stat st;
  if (fstat(static_cast<int>(file), &st) != 0 || st.st_size >= static_cast<off_t>(kFileBadPosition))
    return kFileBadPosition;
  return static_cast<uint32_t>(st.st_size);
}

void FileClose(FileHandle file) {
  if (file != kInvalidFile) close(static_cast<int>(file));
}
