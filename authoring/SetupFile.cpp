// Host-side access to a finished setup; see SetupFile.h.
#include "authoring/SetupFile.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "setupdata/SetupData.h"

namespace {

// A stub is small; its mark lies in its initialised data, well inside this.
const size_t kStubSearchLimit = 4u << 20;

std::string Describe(const std::string& path, const std::string& what) { return path + ": " + what; }

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = Describe(path, std::string("cannot open: ") + strerror(errno));
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = Describe(path, "read error");
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::string temporary = path + ".tmp-" + std::to_string(getpid());
  FILE* out = fopen(temporary.c_str(), "wb");
  if (!out) {
    error = Describe(path, std::string("cannot create: ") + strerror(errno));
    return false;
  }
  bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  ok = (fflush(out) == 0) && ok;
  ok = (fclose(out) == 0) && ok;
  if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
    error = Describe(path, std::string("cannot write: ") + strerror(errno));
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<uint32_t> FindStubSize(const std::string& path, std::string& error) {
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
  for (;;) {
    uint8_t raw[kChunkHeaderSize];
    in.seekg(static_cast<std::streamoff>(at));
    if (!in.read(reinterpret_cast<char*>(raw), sizeof(raw))) {
      error = Describe(path, "the chunk stream ends at offset " + std::to_string(at) + " without a FileData chunk");
      return chunks;
    }
    ChunkInfo chunk{at, ParseChunkHeader(raw), 0};
    chunk.unpackedSize = chunk.header.size;
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
    at = bodyEnd;
  }
}

bool LoadSetup(const std::string& path, std::string& error) {
  std::optional<uint32_t> stubSize = FindStubSize(path, error);
  if (!stubSize) return false;
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
