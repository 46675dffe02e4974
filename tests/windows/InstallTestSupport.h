// Shared by the shortcut, registration and launch tests: a file table over
// records from FileTableBuilder.h, scratch folders and files, and
// the marker program (marker/Marker.cpp) that notes how it was started.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "setupdata/FileRecord.h"
#include "setupdata/Format.h"
#include "setupdata/SetupData.h"
#include "tests/windows/FileTableBuilder.h"
#include "tests/windows/StartupTestSupport.h"

// Points the process-wide file table at the records (kept alive by the
// returned bytes, which the caller holds while the table is in use).
inline std::vector<uint8_t> UseFileTable(const std::vector<TestRecord>& records) {
  std::vector<uint8_t> table(4, 0);
  for (const TestRecord& fields : records) {
    const std::vector<uint8_t> record = BuildRecord(fields);
    table.insert(table.end(), record.begin(), record.end());
  }
  WriteU32Le(table.data(), static_cast<uint32_t>(records.size()));
  FileTable = table.data();
  FileTableSize = static_cast<uint32_t>(table.size());
  FileRecordCount = static_cast<uint32_t>(records.size());
  FirstFileRecord = table.data() + 4;
  return table;
}

inline void ClearFileTable() { TestFileTable::Clear(); }

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadTextFile(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[1024];
  DWORD read;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

inline void WriteTextFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// Waits up to ten seconds for a file that a started program writes; its
// text, or empty when it never came.
inline std::string WaitForFileText(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    std::string text = ReadTextFile(path);
    if (!text.empty()) return text;
    Sleep(50);
  }
  return std::string();
}

// The folder of the test program (build/bin), with a trailing backslash.
inline std::string TestProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\') + 1);
}

// A scratch folder below the temporary folder, with a trailing backslash.
inline std::string MakeScratch(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

// Removes a folder with everything in it; the current directory must lie
// outside it.
inline void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}
