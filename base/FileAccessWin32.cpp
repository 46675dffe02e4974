// The file-access layer over Win32 file handles (ANSI paths).
#include "base/FileAccess.h"

#include <windows.h>

static HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle FileOpen(const char* path, int mode) {
  DWORD access = mode == kFileRead ? GENERIC_READ
                 : mode == kFileWrite ? GENERIC_WRITE
                                      : GENERIC_READ | GENERIC_WRITE;
  DWORD share = mode == kFileWrite ? 0 : FILE_SHARE_READ;
  HANDLE h = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

FileHandle FileCreate(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

FileHandle FileCreateNew(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

uint32_t FileReadSome(FileHandle file, void* buffer, uint32_t n) {
  DWORD got = 0;
  if (!ReadFile(AsHandle(file), buffer, n, &got, nullptr)) return 0;
  return got;
}

int FileRead(FileHandle file, void* buffer, uint32_t n) {
  return FileReadSome(file, buffer, n) == n ? 0 : 1;
}

int FileWrite(FileHandle file, const void* buffer, uint32_t n) {
  DWORD put = 0;
  if (!WriteFile(AsHandle(file), buffer, n, &put, nullptr)) return 2;
  return put == n ? 0 : 3;
}

static uint32_t Seek(FileHandle file, LONG offset, DWORD method) {
  DWORD at = SetFilePointer(AsHandle(file), offset, nullptr, method);
  return at == INVALID_SET_FILE_POINTER ? kFileBadPosition : at;
}

uint32_t FileTell(FileHandle file) { return Seek(file, 0, FILE_CURRENT); }
uint32_t FileSeekTo(FileHandle file, uint32_t offset) {
  LONG high = 0;  // offsets up to 4 GiB - 2 need the high word to stay 0
  DWORD at = SetFilePointer(AsHandle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR ? kFileBadPosition : at;
}
uint32_t FileSkip(FileHandle file, int32_t delta) { return Seek(file, delta, FILE_CURRENT); }
uint32_t FileSeekEnd(FileHandle file, int32_t delta) { return Seek(file, delta, FILE_END); }

uint32_t FileSize(FileHandle file) {
  DWORD size = GetFileSize(AsHandle(file), nullptr);
  return size == INVALID_FILE_SIZE ? kFileBadPosition : size;
}

void FileClose(FileHandle file) {
  if (file != kInvalidFile) CloseHandle(AsHandle(file));
}
