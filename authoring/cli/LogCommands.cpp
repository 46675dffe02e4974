// setvik log: the uninstall log at the end of an installed uninstaller, found
// through the uninstaller's size mark and read with the same reader and
// checks that the uninstaller uses, printed one line a record:
//
//   uninstaller: PATH
//   log: offset N, M bytes         (or: log: "FILE", M bytes: a signed
//                                   uninstaller's log beside it)
//   files: COUNT
//     folder "F" name "N" flags 0xFF [SharedFile] [FontFile] [RegisteredModule]
//   shortcuts: COUNT
//     folder "F" name "N"
//   registry key: HKEY_LOCAL_MACHINE "KEY"
//
// Texts are quoted as they stand; only quotes and control characters are
// escaped (\", \xNN), so the backslashes of paths stay readable. A log that
// the uninstaller would refuse is shown, then named, with exit code 1.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "authoring/SetupFile.h"
#include "authoring/cli/Commands.h"
#include "setupdata/Format.h"
#include "uninstlog/UninstallerFile.h"

namespace {

std::string Quoted(LogText text) {
  std::string out = "\"";
  for (uint32_t i = 0; i < text.length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text.text[i]);
    if (c == '"') {
      out += "\\\"";
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

struct PrintedLog {
  std::vector<std::string> files, shortcuts, keys;
};

void OnFile(void* context, LogText folder, LogText name, uint8_t flags) {
  char line[64];
  snprintf(line, sizeof line, " flags 0x%02X", flags);
  std::string text = "folder " + Quoted(folder) + " name " + Quoted(name) + line;
  if (flags & kLogSharedFile) text += " SharedFile";
  if (flags & kLogFontFile) text += " FontFile";
  if (flags & kLogRegisteredModule) text += " RegisteredModule";
  static_cast<PrintedLog*>(context)->files.push_back(text);
}

void OnShortcut(void* context, LogText folder, LogText name) {
  static_cast<PrintedLog*>(context)->shortcuts.push_back("folder " + Quoted(folder) + " name " + Quoted(name));
}

void OnRegistryKey(void* context, uint32_t root, LogText key) {
  const uint32_t plain = root & ~(kLogView64 | kLogUtf8);
  std::string rootName = plain == kLogRegistryRoot ? "HKEY_LOCAL_MACHINE"
                         : plain == kLogUserRoot   ? "HKEY_CURRENT_USER"
                                                   : std::to_string(plain);
  if (root & kLogView64) rootName += " (64-bit view)";
  if (root & kLogUtf8) rootName += " (UTF-8)";
  static_cast<PrintedLog*>(context)->keys.push_back(rootName + " " + Quoted(key));
}

void PrintList(const char* title, const std::vector<std::string>& lines) {
  printf("%s: %zu\n", title, lines.size());
  for (const std::string& line : lines) printf("  %s\n", line.c_str());
}

// The program's length as its own mark says: the first mark in the file,
// which lies in the program (the uninstaller finds it the same way, as
// its own initialised data). nullopt without a mark.
std::optional<uint32_t> ProgramSizeMark(const std::vector<uint8_t>& bytes) {
  uint32_t markAt = 0;
  if (!FindUninstallerMark(bytes.data(), static_cast<uint32_t>(bytes.size()), &markAt)) return std::nullopt;
  return ReadU32Le(bytes.data() + markAt + sizeof kUninstallerMarkTag);
}

// An uninstaller of the publisher's own carries no mark: its log is the
// first offset whose chain of chunk headers ends exactly with the end
// chunk at the end of the file and which the reader accepts. Following at
// most four headers costs the same at every offset, and only a chain that
// fits is read whole, so the search stays linear in practice.
std::optional<uint32_t> FindLogWithoutMark(const std::vector<uint8_t>& bytes) {
  const uint64_t size = bytes.size();
  for (uint64_t at = 0; at + kChunkHeaderSize <= size; ++at) {
    if (ReadU16Le(&bytes[at]) != kChunkUninstallFiles || ReadU16Le(&bytes[at + 2])) continue;
    uint64_t header = at;
    bool fits = false;
    for (int chunk = 0; chunk < 4 && header + kChunkHeaderSize <= size; ++chunk) {
      const uint32_t body = ReadU32Le(&bytes[header + 4]);
      if (ReadU16Le(&bytes[header]) == kChunkUninstallEnd) {
        fits = body == 0 && header + kChunkHeaderSize == size;
        break;
      }
      header += kChunkHeaderSize + body;
    }
    if (fits && ReadUninstallLog(&bytes[at], static_cast<uint32_t>(size - at), nullptr) == kLogValid)
      return static_cast<uint32_t>(at);
  }
  return std::nullopt;
}

bool EndsWithFreeHeader(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= sizeof kFreeLogHeader &&
         std::equal(bytes.end() - sizeof kFreeLogHeader, bytes.end(), kFreeLogHeader);
}

}  // namespace

int RunLog(const Arguments& args) {
  if (args.size() != 1) return Usage();
  const std::string& path = args[0];
  const std::string shown = Quoted({path.c_str(), static_cast<uint32_t>(path.size())});
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return Fail(error);
  const std::optional<uint32_t> programSize = ProgramSizeMark(bytes);
  UninstallerLayout layout;
  UninstallerFileStatus status = kUninstallerDamaged;
  if (programSize) {
    status = ReadUninstallerFile(bytes.data(), static_cast<uint32_t>(bytes.size()), *programSize, &layout);
  } else if (const std::optional<uint32_t> found = FindLogWithoutMark(bytes)) {
    layout.logOffset = *found;
    status = kUninstallerInstalled;
  } else if (EndsWithFreeHeader(bytes)) {
    status = kUninstallerNotInstalled;
  }
  std::string logName = "offset " + std::to_string(layout.logOffset);
  if (status == kUninstallerLogBeside) {  // signed: the log lies in the file beside it
    std::vector<char> separate(kPathBufferSize);
    if (!SeparateLogPath(path.c_str(), separate.data())) return Fail(shown + ": the path is too long");
    logName = Quoted({separate.data(), static_cast<uint32_t>(strlen(separate.data()))});
    status = kUninstallerNotInstalled;
    if (CheckRegularFile(separate.data(), error)) {
      if (!ReadWholeFile(separate.data(), bytes, error)) return Fail(error);
      layout.logOffset = 0;
      status = ReadUninstallLog(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr) == kLogValid
                   ? kUninstallerInstalled
                   : kUninstallerDamaged;
    }
  }
  if (status == kUninstallerNotInstalled) {
    printf("uninstaller: %s\nlog: none (the file ends with the free header of an uninstaller never installed)\n",
           shown.c_str());
    return 0;
  }
  if (status != kUninstallerInstalled)
    return Fail(shown + ": no valid uninstall log at the end of the file or in " + logName +
                " (the uninstaller will refuse it)");
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  const uint32_t offset = layout.logOffset;
  PrintedLog log;
  const UninstallLogVisitor visitor = {&log, OnFile, OnShortcut, OnRegistryKey};
  ReadUninstallLog(bytes.data() + offset, size - offset, &visitor);
  printf("uninstaller: %s\nlog: %s, %u bytes\n", shown.c_str(), logName.c_str(), size - offset);
  PrintList("files", log.files);
  PrintList("shortcuts", log.shortcuts);
  if (log.keys.empty()) printf("registry key: (none)\n");
  for (const std::string& key : log.keys) printf("registry key: %s\n", key.c_str());
  // The uninstaller checks every path against its own folder; a short one
  // stands in for it here, so only a path too long for any folder passes
  // here and fails there.
  if (!CheckLogPaths(bytes.data() + offset, size - offset, "C:\\A"))
    return Fail(shown + ": the uninstaller will refuse this log: an entry names a path or key outside what it may "
                        "remove (it removes nothing and ends with exit code 1610)");
  return 0;
}
