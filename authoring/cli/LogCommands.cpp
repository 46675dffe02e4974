// setvik log: the uninstall log at the end of an installed uninstaller, read
// with the same reader that the uninstaller uses, printed one line a record:
//
//   uninstaller: PATH
//   log: offset N, M bytes
//   files: COUNT
//     folder "F" name "N" flags 0xFF [SharedFile] [FontFile] [RegisteredModule]
//   shortcuts: COUNT
//     folder "F" name "N"
//   registry key: HKEY_LOCAL_MACHINE "KEY"
//
// Texts are quoted as they stand; only quotes and control characters are
// escaped (\", \xNN), so the backslashes of paths stay readable.
#include <stdio.h>

#include <string>
#include <vector>

#include "authoring/SetupFile.h"
#include "authoring/cli/Commands.h"
#include "uninstall/UninstallLog.h"

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
  const std::string rootName = root == kLogRegistryRoot ? "HKEY_LOCAL_MACHINE" : std::to_string(root);
  static_cast<PrintedLog*>(context)->keys.push_back(rootName + " " + Quoted(key));
}

void PrintList(const char* title, const std::vector<std::string>& lines) {
  printf("%s: %zu\n", title, lines.size());
  for (const std::string& line : lines) printf("  %s\n", line.c_str());
}

}  // namespace

int RunLog(const Arguments& args) {
  if (args.size() != 1) return Usage();
  const std::string& path = args[0];
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return Fail(error);
  if (bytes.size() > 0xFFFFFFFFu) return Fail(path + ": too large");
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  uint32_t offset = 0;
  if (!FindUninstallLog(bytes.data(), size, &offset)) {
    bool fresh = size >= sizeof kFreeLogHeader;
    for (uint32_t i = 0; fresh && i < sizeof kFreeLogHeader; ++i)
      fresh = bytes[size - sizeof kFreeLogHeader + i] == kFreeLogHeader[i];
    if (!fresh) return Fail(path + ": no valid uninstall log at the end of the file");
    printf("uninstaller: %s\nlog: none (the file ends with the free header of an uninstaller never installed)\n",
           path.c_str());
    return 0;
  }
  PrintedLog log;
  const UninstallLogVisitor visitor = {&log, OnFile, OnShortcut, OnRegistryKey};
  ReadUninstallLog(bytes.data() + offset, size - offset, &visitor);
  printf("uninstaller: %s\nlog: offset %u, %u bytes\n", path.c_str(), offset, size - offset);
  PrintList("files", log.files);
  PrintList("shortcuts", log.shortcuts);
  if (log.keys.empty()) printf("registry key: (none)\n");
  for (const std::string& key : log.keys) printf("registry key: %s\n", key.c_str());
  return 0;
}
