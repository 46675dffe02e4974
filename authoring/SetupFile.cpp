// Host-side access to a finished setup; see SetupFile.h.
#include "authoring/SetupFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "base/FileAccess.h"
#include "setupdata/CertificateTable.h"
#include "setupdata/SetupData.h"

namespace {

// A stub is small; its mark lies in its initialised data, well inside this.
const size_t kStubSearchLimit = 4u << 20;

std::string Describe(const std::string& path, const std::string& what) { return path + ": " + what; }

}  // namespace

namespace {

// Opens path for reading without blocking on a FIFO and checks that it is a
// regular file of at most limit bytes; the descriptor or -1.
int OpenRegular(const std::string& path, uint64_t limit, uint64_t& size, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = Describe(path, std::string("cannot open: ") + strerror(errno));
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = Describe(path, "not a regular file");
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    error = Describe(path, "too large (" + std::to_string(st.st_size) + " bytes; at most " + std::to_string(limit) +
                               " are allowed)");
  } else {
    size = static_cast<uint64_t>(st.st_size);
    return fd;
  }
  close(fd);
  return -1;
}

}  // namespace

bool CheckRegularFile(const std::string& path, std::string& error, uint64_t limit) {
  uint64_t size = 0;
  const int fd = OpenRegular(path, limit, size, error);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error, uint64_t limit) {
  uint64_t size = 0;
  const int fd = OpenRegular(path, limit, size, error);
  if (fd < 0) return false;
  bytes.assign(size, 0);
  uint64_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, bytes.data() + done, std::min<uint64_t>(size - done, 1u << 30));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint64_t>(got);
  }
  close(fd);
  if (done != size) {
    error = Describe(path, "read error (the file changed while it was read?)");
    return false;
  }
  return true;
}

int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    snprintf(name, sizeof name, "/.setvik-%08x.tmp", static_cast<unsigned>(random()));
    temporary = folder + name;
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::string temporary;
  const int fd = CreateTemporaryBeside(path, temporary);
  if (fd < 0) {
    error = Describe(path, std::string("cannot create: ") + strerror(errno));
    return false;
  }
  const FileHandle file = fd;
  int cause = 0;
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += 1u << 30) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(bytes.size() - at, 1u << 30));
    ok = FileWrite(file, bytes.data() + at, n) == 0;
  }
  if (!ok) cause = errno ? errno : ENOSPC;
  if (close(fd) != 0 && ok) ok = false, cause = errno;
  if (ok && rename(temporary.c_str(), path.c_str()) != 0) ok = false, cause = errno;
  if (!ok) {
    unlink(temporary.c_str());
    error = Describe(path, std::string("cannot write: ") + strerror(cause));
  }
  return ok;
}

std::optional<uint32_t> FindStubSize(const std::string& path, std::string& error) {
  if (!CheckRegularFile(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = Describe(path, std::string("cannot open: ") + strerror(errno));
    return std::nullopt;
  }
  std::vector<char> head(kStubSearchLimit);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const char* tag = kStubMarkTag;
  auto found = std::search(head.begin(), head.end(), tag, tag + sizeof(kStubMarkTag));
  if (found == head.end() || head.end() - found < static_cast<long>(sizeof(StubMarkRecord))) {
    error = Describe(path, "not a Setvik setup (no stub mark in its first 4 MiB)");
    return std::nullopt;
  }
  return ReadU32Le(reinterpret_cast<const uint8_t*>(&*found) + sizeof(kStubMarkTag));
}

std::optional<CertificateTableInfo> FindSetupCertificate(const std::string& path, uint32_t stubSize) {
  const FileHandle file = FileOpen(path.c_str(), kFileRead);
  if (file == kInvalidFile) return std::nullopt;
  uint32_t tableAt = 0;
  const bool found = FindFileCertificateTable(file, stubSize, &tableAt);
  const uint32_t size = FileSize(file);
  FileClose(file);
  if (!found) return std::nullopt;
  return CertificateTableInfo{tableAt, size - tableAt};
}

const char* ChunkName(uint16_t id) {
  switch (id) {
    case kChunkSetupFlags: return "SetupFlags";
    case kChunkDefaultDir: return "DefaultDir";
    case kChunkFramePicture: return "FramePicture";
    case kChunkBackgroundBitmap: return "BackgroundBitmap";
    case kChunkUninstallName: return "UninstallName";
    case kChunkBackgroundTitle: return "BackgroundTitle";
    case kChunkTexts: return "Texts";
    case kChunkDirRegistryRoot: return "DirRegistryRoot";
    case kChunkDirRegistryKey: return "DirRegistryKey";
    case kChunkDirRegistryValue: return "DirRegistryValue";
    case kChunkDirIniFile: return "DirIniFile";
    case kChunkDirIniSection: return "DirIniSection";
    case kChunkDirIniKey: return "DirIniKey";
    case kChunkDialogTemplates: return "DialogTemplates";
    case kChunkFileTable: return "FileTable";
    case kChunkSinglePage: return "SinglePage";
    case kChunkBackgroundFont: return "BackgroundFont";
    case kChunkUninstallEntry: return "UninstallEntry";
    case kChunkFileData: return "FileData";
    case kChunkSkipped123B:
    case kChunkSkipped1245: return "skipped";
    default: return "unknown";
  }
}

std::vector<ChunkInfo> WalkChunks(const std::string& path, uint32_t stubSize, std::string& error) {
  std::vector<ChunkInfo> chunks;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = Describe(path, std::string("cannot open: ") + strerror(errno));
    return chunks;
  }
  const uint64_t fileSize = static_cast<uint64_t>(in.tellg());
  uint64_t at = stubSize;
  in.seekg(static_cast<std::streamoff>(at));
  for (;;) {
    uint8_t raw[kChunkHeaderSize];
    if (!in.read(reinterpret_cast<char*>(raw), sizeof(raw))) {
      error = Describe(path, "the chunk stream ends at offset " + std::to_string(at) + " without a FileData chunk");
      return chunks;
    }
    ChunkInfo chunk{at, ParseChunkHeader(raw), 0};
    chunk.unpackedSize = chunk.header.size;
    if (chunk.header.size == 0 && chunk.header.id != kChunkFileData && !chunks.empty()) {
      ChunkInfo& last = chunks.back();
      if (last.header.size == 0 && last.header.id == chunk.header.id && last.header.flags == chunk.header.flags) {
        ++last.repeats;
        at += kChunkHeaderSize;
        continue;
      }
    }
    const uint64_t bodyEnd = at + kChunkHeaderSize + chunk.header.size;
    if (bodyEnd > fileSize) {
      error = Describe(path, "chunk " + std::string(ChunkName(chunk.header.id)) + " at offset " +
                                 std::to_string(at) + " runs past the end of the file");
      chunks.push_back(chunk);
      return chunks;
    }
    uint8_t prefix[4];
    if ((chunk.header.flags & kChunkCompressed) && chunk.header.size >= 4 &&
        in.read(reinterpret_cast<char*>(prefix), 4))
      chunk.unpackedSize = ReadU32Le(prefix);
    chunks.push_back(chunk);
    if (chunk.header.id == kChunkFileData) return chunks;
    if (bodyEnd != at + kChunkHeaderSize || (chunk.header.flags & kChunkCompressed))
      in.seekg(static_cast<std::streamoff>(bodyEnd));
    at = bodyEnd;
  }
}

bool LoadSetup(const std::string& path, std::string& error) {
  std::optional<uint32_t> stubSize = FindStubSize(path, error);
  if (!stubSize) return false;
  std::string walkError;
  for (const ChunkInfo& chunk : WalkChunks(path, *stubSize, walkError)) {
    if (chunk.header.id != kChunkFileData && chunk.unpackedSize > kMaxChunkBody) {
      error = Describe(path, "chunk " + std::string(ChunkName(chunk.header.id)) + " at offset " +
                                 std::to_string(chunk.offset) + " declares " + std::to_string(chunk.unpackedSize) +
                                 " bytes, more than a 32-bit setup program can hold");
      return false;
    }
  }
  if (*stubSize == 0) {
    error = Describe(path, "the stub carries no setup data (its StubSize is 0)");
    return false;
  }
  if (path.size() >= kPathBufferSize) {
    error = Describe(path, "the path is longer than 259 characters");
    return false;
  }
  StubMark.stubSize = *stubSize;
  static char setupFile[kPathBufferSize], dataFile[kPathBufferSize], installDir[kPathBufferSize];
  SetupFilePath = setupFile;
  DataFilePath = dataFile;
  InstallDir = installDir;
  memset(setupFile, 0, sizeof(setupFile));
  memset(installDir, 0, sizeof(installDir));
  memcpy(setupFile, path.c_str(), path.size());
  if (!LoadSetupData()) {
    error = Describe(path, "the setup data is damaged or incomplete");
    ReleaseSetupData();
    return false;
  }
  return true;
}

void UnloadSetup() { ReleaseSetupData(); }
