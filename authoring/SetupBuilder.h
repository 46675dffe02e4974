// `setvik build`: a project (authoring/Project.h) and the stub become a
// complete setup, and its volume files when the project asks for them.
//
// The output is deterministic: the same project, files and stub give the
// same bytes. Everything is written under temporary names and renamed only
// when all of it is complete, so a failed build leaves no output behind.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "authoring/Project.h"

struct BuildOptions {
  std::string stubPath;    // setvik-stub.exe as built (it carries its StubSize)
  std::string outputPath;  // the setup file; volumes go beside it
  bool progress = false;   // report files and bytes packed on standard error
  std::string uninstallerPath;  // setvik-uninst.exe as built, for a project with [uninstaller]
  // A shell command that signs {in} into {out} (osslsigncode, ...); when
  // set, it runs on the uninstaller as it will be installed, before it is
  // packed, and on the finished setup file. Volumes are not signed.
  std::string signCommand;
};

struct BuildReport {
  uint32_t files = 0;          // records in the file table
  uint64_t contentBytes = 0;   // uncompressed size of the stored files
  uint64_t packedBytes = 0;    // their compressed streams
  uint64_t setupBytes = 0;     // size of the setup file
  std::vector<std::string> volumes;  // the volume files written, in order
};

bool BuildSetup(const Project& project, const BuildOptions& options, BuildReport& report, std::string& error);

// The name of volume n beside the setup file: its extension replaced by
// ".D01", ".D02", ... (appended when the name has none).
std::string VolumeFileName(const std::string& setupPath, uint32_t volume);

// The uninstaller file that a setup installs: the program of
// setvik-uninst.exe (its bytes up to the length its mark carries; a copy
// that already holds texts or a log gives back the program alone), an
// UninstallerTexts chunk with texts, and the free header
// (uninstlog/UninstallerFile.h). False with a message when program is not
// a stamped uninstaller or a text does not fit.
bool MakeUninstallerFile(const std::vector<uint8_t>& program, const std::vector<std::string>& texts,
                         std::vector<uint8_t>& file, std::string& error);
