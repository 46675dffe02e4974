// setvik list / setvik verify: what a finished setup holds, read with the
// stub's own loader and decoder.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "authoring/Manifest.h"
#include "authoring/Project.h"
#include "authoring/SetupBuilder.h"
#include "authoring/SetupFile.h"
#include "authoring/Sinks.h"
#include "authoring/cli/Commands.h"
#include "inflate/Inflater.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"

namespace {

// A text as one printable line: control characters escaped.
std::string Printable(const char* text) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '\r') out += "\\r";
    else if (*p == '\n') out += "\\n";
    else if (*p == '\t') out += "\\t";
    else if (*p == '"' || *p == '\\') out += std::string("\\") + static_cast<char>(*p);
    else if (*p < 0x20) {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\x%02X", *p);
      out += hex;
    } else out += static_cast<char>(*p);
  }
  return out + "\"";
}

std::string OptionalText(const char* text) { return text ? Printable(text) : "(absent)"; }

std::string FlagNames(uint32_t flags) {
  static const struct { uint32_t bit; const char* name; } kNames[] = {
      {kFullScreenBackground, "FullScreenBackground"},
      {kDirChangeable, "DirChangeable"},
      {kSaveDirToRegistry, "SaveDirToRegistry"},
      {kSaveDirToIni, "SaveDirToIni"},
      {kBatchedSteps, "BatchedSteps"},
      {kPerUserScope, "PerUserScope"},
      {kArchitectureX64, "ArchitectureX64"},
      {kUtf8Texts, "Utf8Texts"},
  };
  std::string out;
  for (const auto& n : kNames)
    if (flags & n.bit) out += std::string(out.empty() ? "" : " ") + n.name;
  return out.empty() ? "(none)" : out;
}

void PrintChunks(const std::string& path, uint32_t stubSize) {
  std::string error;
  std::vector<ChunkInfo> chunks = WalkChunks(path, stubSize, error);
  printf("stub: %u bytes\nchunks:\n  %-10s %-6s %-17s %-6s %10s %10s\n", stubSize, "offset", "id", "name", "flags",
         "size", "unpacked");
  for (const ChunkInfo& c : chunks) {
    printf("  %-10llu 0x%04X %-17s 0x%04X %10u %10u\n", static_cast<unsigned long long>(c.offset), c.header.id,
           ChunkName(c.header.id), c.header.flags, c.header.size, c.unpackedSize);
    if (c.repeats > 1) printf("  (the same empty header %llu times in a row)\n", static_cast<unsigned long long>(c.repeats));
  }
  if (!error.empty()) printf("  (%s)\n", error.c_str());
}

// The manifest in the stub's slot: what the setup asks Windows for.
void PrintManifest(const std::string& path, uint32_t stubSize) {
  std::vector<uint8_t> stub(stubSize);
  FILE* file = fopen(path.c_str(), "rb");
  const bool read = file && fread(stub.data(), 1, stub.size(), file) == stub.size();
  if (file) fclose(file);
  const std::optional<std::string> manifest = read ? DescribeManifest(stub.data(), stub.size()) : std::nullopt;
  printf("manifest: %s\n", manifest ? manifest->c_str() : "(no manifest slot)");
}

void PrintSettings() {
  printf("settings:\n");
  printf("  SetupFlags       0x%08X %s\n", SetupFlags, FlagNames(SetupFlags).c_str());
  if (SinglePage == kSinglePageAbsent) printf("  SinglePage       (absent)\n");
  else printf("  SinglePage       %u\n", SinglePage);
  printf("  DefaultDir       %s\n", Printable(InstallDir).c_str());
  printf("  UninstallName    %s\n", OptionalText(UninstallName).c_str());
  printf("  BackgroundTitle  %s\n", OptionalText(BackgroundTitle).c_str());
  if (!UninstallEntry) {
    printf("  UninstallEntry   (absent)\n");
  } else {
    const char* names[kUninstallEntryTextCount] = {"Publisher", "DisplayVersion", "URLInfoAbout", "HelpLink"};
    printf("  UninstallEntry   %u bytes\n", UninstallEntrySize);
    for (uint32_t n = 0; n < kUninstallEntryTextCount; ++n)
      printf("    %-14s %s\n", names[n], Printable(UninstallEntryValue(n)).c_str());
    if (UninstallEntryIcon() == kNoIconRecord) printf("    DisplayIcon    (none)\n");
    else printf("    DisplayIcon    the file of record %u\n", UninstallEntryIcon());
  }
  printf("  DirRegistryRoot  %u\n", DirRegistryRoot);
  printf("  DirRegistryKey   %s\n", OptionalText(DirRegistryKey).c_str());
  printf("  DirRegistryValue %s\n", OptionalText(DirRegistryValue).c_str());
  printf("  DirIniFile       %s\n", OptionalText(DirIniFile).c_str());
  printf("  DirIniSection    %s\n", OptionalText(DirIniSection).c_str());
  printf("  DirIniKey        %s\n", OptionalText(DirIniKey).c_str());
  printf("  FramePicture     %s\n", FramePicture ? (std::to_string(FramePictureSize) + " bytes").c_str() : "(absent)");
  printf("  BackgroundBitmap %s\n",
         BackgroundBitmap ? (std::to_string(BackgroundBitmapSize) + " bytes").c_str() : "(absent)");
  printf("  BackgroundFont   %s\n", BackgroundFont ? "60 bytes" : "(absent)");
  printf("  DialogTemplates  %s\n",
         DialogTemplates ? (std::to_string(DialogTemplatesSize) + " bytes").c_str() : "(absent)");
}

void PrintTexts() {
  printf("texts:\n");
  for (uint32_t g = 0; g < kTextGroupCount; ++g) {
    if (!TextGroups[g]) continue;
    uint32_t count = ReadU16Le(TextGroups[g]);
    for (uint32_t i = 0; i < count; ++i) printf("  %u/%u %s\n", g, i, Printable(GetText(g, i)).c_str());
  }
}

void PrintRecord(uint32_t index, const uint8_t* r) {
  using namespace FileRecordField;
  const uint8_t options = RecordOptionFlags(r);
  printf("  #%u %s\n", index, Printable(RecordString(r, kStringFileName)).c_str());
  printf("     recordLength %u installState %u iconIndex %u destinationKind %u launchRole %u trackShared %u\n",
         ReadU32Le(r + recordLength), ReadU16Le(r + installState), ReadU16Le(r + iconIndex), r[destinationKind],
         r[launchRole], r[trackShared]);
  printf("     uninstallMode %u registerKind %u optionFlags 0x%02X contentChecksum 0x%08X (plain 0x%08X)\n",
         r[uninstallMode], r[registerKind], options, ReadU32Le(r + contentChecksum),
         CombineIntegrityKey(ReadU32Le(r + contentChecksum)));
  printf("     fileSize %u packedSize %u\n", ReadU32Le(r + fileSize), ReadU32Le(r + packedSize));
  if (const uint8_t* v = RecordVersionBlock(r))
    printf("     version file %u.%u.%u.%u product %u.%u.%u.%u language 0x%08X\n", ReadU32Le(v) >> 16,
           ReadU32Le(v) & 0xFFFF, ReadU32Le(v + 4) >> 16, ReadU32Le(v + 4) & 0xFFFF, ReadU32Le(v + 8) >> 16,
           ReadU32Le(v + 8) & 0xFFFF, ReadU32Le(v + 12) >> 16, ReadU32Le(v + 12) & 0xFFFF, ReadU32Le(v + 16));
  if (const uint8_t* t = RecordTimesBlock(r))
    printf("     times creation 0x%08X%08X access 0x%08X%08X write 0x%08X%08X\n", ReadU32Le(t + 4), ReadU32Le(t),
           ReadU32Le(t + 12), ReadU32Le(t + 8), ReadU32Le(t + 20), ReadU32Le(t + 16));
  static const char* const kStringNames[] = {"groupName", "menuShortcutName", "menuShortcutArgs",
                                             "desktopShortcutName", "desktopShortcutArgs"};
  for (uint32_t s = 1; s < kFileRecordStringCount; ++s)
    if (*RecordString(r, s)) printf("     %s %s\n", kStringNames[s - 1], Printable(RecordString(r, s)).c_str());
}

void PrintFileTable() {
  printf("files: %u\n", FileRecordCount);
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) PrintRecord(i, record);
  printf("file data: offset %u, %u bytes in the setup file\n", FileDataOffset, FileDataSize);
}


// Passes on at most limit bytes; a write past them is cut there and
// refused, so a stream that decodes to more than its record says stops one
// window after the excess instead of running on.
class LimitSink : public OutputSink {
 public:
  LimitSink(OutputSink& inner, uint64_t limit) : inner(inner), limit(limit) {}
  bool IsReady() override { return inner.IsReady(); }
  bool Write(const uint8_t* data, uint32_t length) override {
    if (seen + length > limit) {
      if (limit > seen) inner.Write(data, static_cast<uint32_t>(limit - seen));
      seen = limit;
      exceeded = true;
      return false;
    }
    seen += length;
    return inner.Write(data, length);
  }
  bool exceeded = false;

 private:
  OutputSink& inner;
  uint64_t limit;
  uint64_t seen = 0;
};

// The packedSize bytes of the next stream, read through the volume reader
// as the stub reads them. "" when all arrived, else what was missing.
std::string ReadPackedStream(const std::string& path, uint32_t packed, std::vector<uint8_t>& stream) {
  stream.clear();
  Inflater input;  // only its input buffer, filled by the volume reader
  if (!input.BeginInput(InputHandle, packed)) return "the file data cannot be read";
  while (input.limit) {
    const uint32_t asked = input.limit < kInflateInputSize ? input.limit : kInflateInputSize;
    FillInput(input);
    stream.insert(stream.end(), input.readPos, input.readPos + input.available);
    const bool cut = input.available < asked;
    input.available = 0;
    if (!cut) continue;
    input.EndInput();
    const std::string file = VolumeNumber ? VolumeFileName(path, VolumeNumber) : path;
    return "its stream runs past the end of the file data: " + Printable(file.c_str()) +
           (InputHandle == kInvalidFile ? " is missing or unreadable" : " is shorter than its size field says");
  }
  input.EndInput();
  return "";
}

// Decodes one whole stream held in memory, exactly: the result, and in
// consumed the bytes the decoder took.
int DecodeExactly(const std::vector<uint8_t>& stream, OutputSink& sink, uint32_t& consumed) {
  consumed = 0;
  const int fd = memfd_create("setvik-stream", MFD_CLOEXEC);
  if (fd < 0) return kInflateNoMemory;
  int result = kInflateNoMemory;
  if (FileWrite(fd, stream.data(), static_cast<uint32_t>(stream.size())) == 0 && FileSeekTo(fd, 0) == 0) {
    Inflater inflater;
    result = inflater.DecodeToSink(sink, fd, 0);
    inflater.EndInput();
    consumed = FileTell(fd);
  }
  close(fd);
  return result;
}

// Decodes every stored file of the loaded setup in table order, across
// volumes, into the sink that open() gives for it (null: skip the rest),
// checking each file strictly: its stream is exactly packedSize bytes and
// decodes to fileSize bytes with the right checksum. done() hears of each
// file that passed. Returns 0 when every file passed, else 1 after a
// message naming the first file that did not.
using OpenSink = std::function<OutputSink*(uint32_t index, const uint8_t* record)>;
using FileDone = std::function<bool(uint32_t index, const uint8_t* record)>;

int DecodeStoredFiles(const std::string& path, const OpenSink& open, const FileDone& done) {
  InputHandle = FileOpen(DataFilePath, kFileRead);
  if (InputHandle == kInvalidFile || FileSeekTo(InputHandle, FileDataOffset + kVolumeHeaderSize) == kFileBadPosition)
    return Fail(Printable(path.c_str()) + ": cannot read the file data");
  VolumeNumber = 0;
  int status = 0;
  std::vector<uint8_t> stream;
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount && status == 0; ++i, record = NextFileRecord(record)) {
    using namespace FileRecordField;
    if (record[uninstallMode] == kUninstallExternal) continue;
    const std::string what = Printable(path.c_str()) + ": file #" + std::to_string(i) + " (" +
                             Printable(RecordString(record, kStringFileName)) + ")";
    const uint32_t packed = ReadU32Le(record + packedSize);
    const uint32_t expectedSize = ReadU32Le(record + fileSize);
    if (packed == 0) {
      status = Fail(what + " has no stream (packedSize 0)");
      break;
    }
    const std::string missing = ReadPackedStream(path, packed, stream);
    if (!missing.empty()) {
      status = Fail(what + ": " + missing);
      break;
    }
    OutputSink* target = open(i, record);
    if (!target) {
      status = 1;
      break;
    }
    ChecksumSink check;
    TeeSink tee(*target, check);
    LimitSink sink(tee, expectedSize);
    uint32_t consumed = 0;
    const int result = DecodeExactly(stream, sink, consumed);
    const uint32_t expected = CombineIntegrityKey(ReadU32Le(record + contentChecksum));
    if (sink.exceeded)
      status = Fail(what + ": decodes to more than the " + std::to_string(expectedSize) + " bytes the table says");
    else if (result != kInflateOk)
      status = Fail(what + ": the stream does not decode within its packedSize of " + std::to_string(packed) +
                    " bytes (result " + std::to_string(result) + ")");
    else if (consumed != packed)
      status = Fail(what + ": the stream ends after " + std::to_string(consumed) + " bytes, but its packedSize is " +
                    std::to_string(packed));
    else if (check.size != expectedSize)
      status = Fail(what + ": " + std::to_string(check.size) + " bytes, the table says " +
                    std::to_string(expectedSize));
    else if (check.checksum != expected)
      status = Fail(what + ": checksum error");
    else if (!done(i, record))
      status = 1;
  }
  FileClose(InputHandle);
  InputHandle = kInvalidFile;
  return status;
}

}  // namespace

int RunList(const Arguments& args) {
  if (args.size() != 1) return Usage();
  const std::string& path = args[0];
  std::string error;
  std::optional<uint32_t> stubSize = FindStubSize(path, error);
  if (!stubSize) return Fail(error);
  printf("setup: %s\n", path.c_str());
  PrintManifest(path, *stubSize);
  PrintChunks(path, *stubSize);
  if (!LoadSetup(path, error)) return Fail(error);
  PrintSettings();
  PrintTexts();
  if (FileTable) PrintFileTable();
  UnloadSetup();
  return 0;
}

int RunVerify(const Arguments& args) {
  if (args.size() != 1) return Usage();
  const std::string& path = args[0];
  std::string error;
  if (!LoadSetup(path, error)) return Fail(error);
  DiscardSink discard;
  uint32_t checked = 0;
  int status = DecodeStoredFiles(
      path, [&](uint32_t, const uint8_t*) { return &discard; },
      [&](uint32_t, const uint8_t*) { return ++checked, true; });
  // The loader took bytes after the file data only as a signature's table.
  const uint64_t dataEnd = static_cast<uint64_t>(FileDataOffset) + 4 + FileDataSize;
  UnloadSetup();
  if (status != 0) return status;
  printf("%s: %u files verified\n", Printable(path.c_str()).c_str(), checked);
  std::optional<CertificateTableInfo> table = FindSetupCertificate(path, StubMark.stubSize);
  if (table && table->offset >= dataEnd)
    printf("certificate table: %u bytes at offset %u, after %u bytes of alignment (the signature is not checked)\n",
           table->size, table->offset, static_cast<uint32_t>(table->offset - dataEnd));
  else
    printf("certificate table: none (not signed)\n");
  return 0;
}

namespace {

// The path below the extraction folder for a record: the destination kind
// as the first level, then the target name with its backslashes as
// folders. The name comes from the setup, so anything that could climb out
// of the folder (absolute paths, drive letters, "." or ".." parts) is
// refused; for shared system files only the part after the last backslash
// counts, as on installation.
bool ExtractionPath(const uint8_t* record, std::string& relative, std::string& problem) {
  static const char* const kKinds[] = {"install", "windows", "system", "fonts"};
  uint8_t kind = record[FileRecordField::destinationKind];
  std::string name = RecordString(record, kStringFileName);
  if (kind > kDestFonts) kind = kDestInstallDir;
  if (kind == kDestSharedSystem) name = name.substr(name.find_last_of('\\') + 1);
  if (name.empty() || name[0] == '\\' || name.find(':') != std::string::npos) {
    problem = "its target name is empty or not relative";
    return false;
  }
  relative = kKinds[kind];
  size_t start = 0;
  for (;;) {
    size_t end = name.find('\\', start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
      problem = "its target name has an empty, '.', '..' or '/' part";
      return false;
    }
    relative += "/" + part;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// Creates the folders of relative below root. A folder that exists must be
// a real folder: a link there could lead the output out of root.
bool MakeFolders(const std::string& root, const std::string& relative, std::string& problem) {
  for (size_t at = relative.find('/'); at != std::string::npos; at = relative.find('/', at + 1)) {
    std::string folder = root + "/" + relative.substr(0, at);
    if (mkdir(folder.c_str(), 0755) == 0) continue;
    struct stat st;
    if (errno != EEXIST || lstat(folder.c_str(), &st) != 0) {
      problem = Printable(folder.c_str()) + ": cannot create the folder";
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      problem = Printable(folder.c_str()) + ": exists and is not a folder (extract follows no link below " +
                Printable(root.c_str()) + ")";
      return false;
    }
  }
  return true;
}

}  // namespace

int RunExtract(const Arguments& args) {
  if (args.size() != 2) return Usage();
  const std::string& path = args[0];
  const std::string& folder = args[1];
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return Fail(folder + ": cannot create the folder");
  std::string error;
  if (!LoadSetup(path, error)) return Fail(error);
  std::string temporary, final;
  FileHandle output = kInvalidFile;
  std::unique_ptr<CheckedFileSink> sink;
  std::set<std::string> written;  // relative paths, as Windows compares names
  uint32_t repeated = 0;
  auto open = [&](uint32_t index, const uint8_t* record) -> OutputSink* {
    std::string relative, problem;
    if (!ExtractionPath(record, relative, problem)) {
      Fail(Printable(path.c_str()) + ": file #" + std::to_string(index) + " (" +
           Printable(RecordString(record, kStringFileName)) + "): " + problem);
      return nullptr;
    }
    final = folder + "/" + relative;
    if (!MakeFolders(folder, relative, problem)) {
      Fail(problem);
      return nullptr;
    }
    const int fd = CreateTemporaryBeside(final, temporary);
    if (fd < 0) {
      Fail(Printable(final.c_str()) + ": cannot create: " + strerror(errno));
      return nullptr;
    }
    output = fd;
    sink = std::make_unique<CheckedFileSink>(output);
    std::string key = relative;
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (!written.insert(key).second) ++repeated;
    return sink.get();
  };
  auto done = [&](uint32_t, const uint8_t*) {
    FileClose(output);
    output = kInvalidFile;
    if (sink->failed || rename(temporary.c_str(), final.c_str()) != 0) {
      const int cause = sink->failed ? ENOSPC : errno;
      unlink(temporary.c_str());
      Fail(Printable(final.c_str()) + ": cannot write: " + strerror(cause));
      return false;
    }
    return true;
  };
  int status = DecodeStoredFiles(path, open, done);
  if (output != kInvalidFile) {  // a file that failed its check
    FileClose(output);
    unlink(temporary.c_str());
  }
  UnloadSetup();
  if (status != 0) return status;
  printf("%s: %zu files extracted to %s", Printable(path.c_str()).c_str(), written.size(),
         Printable(folder.c_str()).c_str());
  if (repeated) printf(" (%u records repeat a name already written; the last one of each is kept)", repeated);
  printf("\n");
  return 0;
}

int RunBuild(const Arguments& args) {
  std::string projectPath, outputPath, stubPath = DefaultStubPath(), uninstallerPath = DefaultUninstallerPath();
  std::string signCommand;
  bool stubGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-o" || args[i] == "--output") && i + 1 < args.size()) outputPath = args[++i];
    else if (args[i] == "--stub" && i + 1 < args.size()) stubPath = args[++i], stubGiven = true;
    else if (args[i] == "--uninstaller" && i + 1 < args.size()) uninstallerPath = args[++i];
    else if (args[i] == "--sign-command" && i + 1 < args.size()) signCommand = args[++i];
    else if (projectPath.empty() && args[i][0] != '-') projectPath = args[i];
    else return Usage();
  }
  if (projectPath.empty() || outputPath.empty()) return Usage();
  if (!signCommand.empty() && (signCommand.find("{in}") == std::string::npos ||
                               signCommand.find("{out}") == std::string::npos))
    return Fail("--sign-command: the command must name its input {in} and its output {out}", 2);
  if (!stubGiven && access(stubPath.c_str(), F_OK) != 0)
    return Fail("setvik-stub.exe is neither beside the setvik program nor in ../share/setvik from it (looked for " +
                stubPath + "); name it with --stub");
  Project project;
  std::string error;
  if (!LoadProject(projectPath, project, error)) return Fail(error);
  BuildOptions options{stubPath, outputPath, isatty(2) != 0, uninstallerPath, signCommand};
  BuildReport report;
  if (!BuildSetup(project, options, report, error)) return Fail(error);
  printf("%s: %u files, %llu bytes packed into %llu (setup file %llu bytes", outputPath.c_str(), report.files,
         static_cast<unsigned long long>(report.contentBytes), static_cast<unsigned long long>(report.packedBytes),
         static_cast<unsigned long long>(report.setupBytes));
  if (!report.volumes.empty()) printf(", %zu volumes", report.volumes.size());
  printf(")\n");
  return 0;
}
