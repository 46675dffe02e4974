// The project file: a short, declarative TOML description of a setup (see
// docs/project-file.md). LoadProject reads and checks it completely, with
// messages that name the file, line and column, and fills a Project with
// every setting by value; nothing is read from the files it names yet
// (the builder does that).
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "authoring/SetupWriter.h"

struct ProjectFont {
  std::string face;
  int32_t height = 0;
  int32_t weight = 400;
  bool italic = false;
};

// One file entry after expansion: a source file and its record settings.
struct ProjectFile {
  std::string source;           // path of the content ("" for an external file without one)
  std::string where;            // "setup.toml:41" for messages
  FileRecordInfo record;        // every field but contentChecksum, fileSize, packedSize
  bool versionFromSource = false;  // read the versionBlock from the source's version resource
  bool timesFromSource = false;    // take the timesBlock from the source's file times
  std::optional<uint32_t> externalSize;  // fileSize of an external file given by hand
};

// The companion uninstaller that `setvik build` adds as the last file when
// the project has an [uninstaller] table.
struct ProjectUninstaller {
  std::string where;            // "setup.toml:12" for messages
  FileRecordInfo record;        // target name, shortcut, the uninstaller flag
  std::vector<std::string> texts;  // kUninstallerTextCount texts, defaults filled in
};

// The names of the uninstaller's texts in [uninstaller.texts], by index.
extern const char* const kUninstallerTextNames[];

struct Project {
  std::string path;       // of the project file
  std::string directory;  // relative paths are taken from here
  std::string title;

  uint32_t setupFlags = 0;
  std::string defaultDir;
  std::optional<uint16_t> singlePage;
  std::optional<std::string> uninstallName;
  // The Uninstall entry's details (the UninstallEntry chunk): publisher,
  // version, about URL and help link in kEntryPublisher order, and the
  // record whose installed file gives the icon.
  std::optional<std::string> entryTexts[kUninstallEntryTextCount];
  std::optional<std::string> icon;  // a target as [[file]] names it
  uint32_t iconRecord = kNoIconRecord;
  bool HasUninstallEntry() const;
  std::optional<std::string> backgroundTitle;
  std::optional<ProjectFont> backgroundFont;
  std::optional<std::string> framePicture;      // BMP path
  std::optional<std::string> backgroundBitmap;  // BMP path

  std::optional<uint32_t> dirRegistryRoot;
  std::optional<std::string> dirRegistryKey, dirRegistryValue;
  std::optional<std::string> dirIniFile, dirIniSection, dirIniKey;

  std::optional<std::string> dialogScript;     // .rc, compiled with windres
  std::optional<std::string> dialogResources;  // .res

  std::vector<std::vector<std::string>> texts;  // groups 0-7, defaults filled in
  std::vector<ProjectFile> files;
  std::optional<ProjectUninstaller> uninstaller;

  int level = kEncodeLevelDefault;
  uint64_t setupSizeLimit = 0;   // largest setup file; 0: no volumes
  uint64_t volumeSizeLimit = 0;  // largest volume file (its 4-byte header included)
};

bool LoadProject(const std::string& path, Project& project, std::string& error);

// Registry roots by name ("HKEY_LOCAL_MACHINE" or "HKLM", ...), as the
// DirRegistryRoot value 0-3.
std::optional<uint32_t> RegistryRootByName(const std::string& name);
