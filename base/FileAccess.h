// The file-access layer: the portable core's only way to files. Thin
// wrappers over the platform's file calls, narrow-character paths, 32-bit
// positions (a setup file and each volume stay below 4 GiB). One header, a
// Win32 implementation (FileAccessWin32.cpp) and a POSIX one
// (FileAccessPosix.cpp); exactly one is linked into each program.
#pragma once

#include <stdint.h>

// A Win32 HANDLE or a POSIX descriptor, widened to a pointer-sized integer.
// Both platforms use -1 for "no file".
typedef intptr_t FileHandle;
const FileHandle kInvalidFile = -1;

enum FileMode {
  kFileRead = 0,       // read; others may read
  kFileWrite = 1,      // write; no sharing
  kFileReadWrite = 2,  // read and write; others may read
};

// Opens an existing file; kInvalidFile on failure.
FileHandle FileOpen(const char* path, int mode);
// Creates a file for writing (no sharing), truncating an existing one.
FileHandle FileCreate(const char* path);
// Creates a file for writing (no sharing) only when no file of that name
// exists (nor a link, on POSIX); kInvalidFile otherwise.
FileHandle FileCreateNew(const char* path);
// 0 when exactly n bytes were read; 1 on failure or a short read.
int FileRead(FileHandle file, void* buffer, uint32_t n);
// The number of bytes actually read, up to n (fewer only at the end of the
// file); 0 on failure.
uint32_t FileReadSome(FileHandle file, void* buffer, uint32_t n);
// 0 when all n bytes were written, 3 on a short write, 2 on failure.
int FileWrite(FileHandle file, const void* buffer, uint32_t n);
// Positions. Each seek returns the new position, or kFileBadPosition.
const uint32_t kFileBadPosition = 0xFFFFFFFFu;
uint32_t FileTell(FileHandle file);
uint32_t FileSeekTo(FileHandle file, uint32_t offset);
uint32_t FileSkip(FileHandle file, int32_t delta);
uint32_t FileSeekEnd(FileHandle file, int32_t delta);
// The file's length; the position is left unchanged.
uint32_t FileSize(FileHandle file);
void FileClose(FileHandle file);
