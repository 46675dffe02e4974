// Shared by the Windows tests: file records as the file table holds them,
// text groups, the message box's script, scratch files and folders, registry
// reads and a memory bitmap to draw into.
#pragma once

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/Buffer.h"
#include "base/Message.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Format.h"
#include "setupdata/SetupData.h"
#include "tests/support/PlatformDouble.h"

struct TestRecord {
  std::string fileName, groupName, menuName, menuArgs, desktopName, desktopArgs;
  uint32_t fileSize = 0;
  uint16_t iconIndex = 0;
  uint8_t destinationKind = kDestInstallDir, uninstallMode = kUninstallRemove, trackShared = 0,
          registerKind = kRegisterNone, optionFlags = 0;
  uint32_t contentChecksum = 0;
  uint32_t version[5] = {0, 0, 0, 0, 0};  // file MS, LS, product MS, LS, languageId
};

inline void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildRecord(const TestRecord& fields) {
  std::vector<uint8_t> out(kFileRecordHeadSize, 0);
  WriteU16Le(&out[FileRecordField::iconIndex], fields.iconIndex);
  out[FileRecordField::destinationKind] = fields.destinationKind;
  out[FileRecordField::uninstallMode] = fields.uninstallMode;
  out[FileRecordField::trackShared] = fields.trackShared;
  out[FileRecordField::registerKind] = fields.registerKind;
  out[FileRecordField::optionFlags] = fields.optionFlags;
  WriteU32Le(&out[FileRecordField::contentChecksum], fields.contentChecksum);
  WriteU32Le(&out[FileRecordField::fileSize], fields.fileSize);
  if (fields.optionFlags & kOptionVersionBlock)
    for (uint32_t word : fields.version) PutU32(out, word);
  if (fields.optionFlags & kOptionTimes) out.resize(out.size() + kTimesBlockSize, 0);
  for (const std::string* text : {&fields.fileName, &fields.groupName, &fields.menuName, &fields.menuArgs,
                                  &fields.desktopName, &fields.desktopArgs})
    out.insert(out.end(), text->c_str(), text->c_str() + text->size() + 1);
  WriteU32Le(&out[FileRecordField::recordLength], static_cast<uint32_t>(out.size()));
  return out;
}

inline TestRecord Named(const std::string& fileName, uint32_t fileSize = 0) {
  TestRecord record;
  record.fileName = fileName;
  record.fileSize = fileSize;
  return record;
}

// Installs a file table of the given records as the loaded one; Clear puts
// the empty table back.
class TestFileTable {
 public:
  void Set(const std::vector<TestRecord>& records) {
    table.clear();
    PutU32(table, static_cast<uint32_t>(records.size()));
    for (const TestRecord& fields : records) {
      const std::vector<uint8_t> record = BuildRecord(fields);
      table.insert(table.end(), record.begin(), record.end());
    }
    FileTable = table.data();
    FileTableSize = static_cast<uint32_t>(table.size());
    FileRecordCount = static_cast<uint32_t>(records.size());
    FirstFileRecord = table.data() + kFileTableCountSize;
  }
  uint8_t* Record(uint32_t n) {
    uint8_t* record = FirstFileRecord;
    while (n--) record += ReadU32Le(record);
    return record;
  }
  static void Clear() {
    FileTable = FirstFileRecord = nullptr;
    FileTableSize = FileRecordCount = 0;
  }
  ~TestFileTable() { Clear(); }

 private:
  std::vector<uint8_t> table;
};

// Text group n made of texts (text i at index i); an empty list removes it.
inline void SetTextGroup(uint32_t n, const std::vector<std::string>& texts) {
  static std::vector<uint8_t> groups[kTextGroupCount];
  groups[n].assign(2, 0);
  for (const std::string& text : texts) groups[n].insert(groups[n].end(), text.c_str(), text.c_str() + text.size() + 1);
  groups[n][0] = static_cast<uint8_t>(texts.size());
  TextGroups[n] = texts.empty() ? nullptr : groups[n].data();
  TextGroupSizes[n] = texts.empty() ? 0 : static_cast<uint32_t>(groups[n].size());
}

// Message boxes are answered by tests/support/PlatformDouble; Script forgets
// the boxes shown so far and queues the answers for the next ones.
inline void Script(const std::vector<int>& answers) {
  PlatformDouble::Reset();
  for (int answer : answers) PlatformDouble::Answer({answer});
}
inline const std::vector<PlatformDouble::ShownMessage>& Shown() { return PlatformDouble::Shown(); }

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadTextFile(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

inline std::string WriteTextFile(const std::string& path, const std::string& text, DWORD attributes = 0) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (attributes) SetFileAttributesA(path.c_str(), attributes);
  return path;
}

// The folder of the test program (build/bin), with a trailing backslash.
inline std::string TestProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\') + 1);
}

inline std::string TempFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return temp;
}

// A scratch folder below the temporary folder, with a trailing backslash.
inline std::string MakeScratch(const char* name) {
  const std::string folder = TempFolder() + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

// Removes a folder with everything in it, read-only files too; the current
// directory must lie outside it.
inline void RemoveTree(std::string folder) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  folder += '\0';  // the list of paths ends with an empty one
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = folder.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&operation);
}

// A folder the shell knows by its id (CSIDL_WINDOWS, CSIDL_SYSTEM, ...).
inline std::string SpecialFolder(int id) {
  char folder[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, folder, id, FALSE);
  return folder;
}

// A value's bytes; "(absent)" when it cannot be read. type receives its type.
inline std::string RegValue(HKEY root, const std::string& key, const char* name, DWORD* type = nullptr) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(absent)";
  DWORD size = 0, kind = 0;
  std::string value = "(absent)";
  if (!RegQueryValueExA(handle, name, nullptr, &kind, nullptr, &size)) {
    value.assign(size, 0);
    RegQueryValueExA(handle, name, nullptr, &kind, reinterpret_cast<BYTE*>(&value[0]), &size);
    if (type) *type = kind;
  }
  RegCloseKey(handle);
  return value;
}
inline void SetRegValue(HKEY root, const std::string& key, const char* name, DWORD type, const std::string& bytes) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyA(root, key.c_str(), &handle), ERROR_SUCCESS);
  RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  RegCloseKey(handle);
}
// The shared-use counts.
inline const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// A shared count as (type, count); type 0 when the value is absent.
inline std::pair<DWORD, DWORD> SharedCount(const std::string& name) {
  DWORD type = 0, count = 0;
  const std::string value = RegValue(HKEY_LOCAL_MACHINE, kSharedKey, name.c_str(), &type);
  if (value == "(absent)") return {0, 0};
  memcpy(&count, value.data(), value.size() < 4 ? value.size() : 4);
  return {type, count};
}
inline void DeleteSharedCount(const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_ALL_ACCESS, &key)) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

// A 24-bit memory bitmap filled with one colour, read back pixel by pixel.
struct Canvas {
  Canvas(int width, int height, COLORREF fill) : dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
};
