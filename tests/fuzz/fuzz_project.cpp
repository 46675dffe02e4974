// The project-file reader on arbitrary TOML: the input is written as the
// project file of a small fixture folder (two files, a sub-folder and a
// link that loops back to the top) and loaded. It must come back within
// the time limit, with either a project or a message that names the file;
// an accepted project holds only names the uninstaller accepts. Inputs
// that could name paths outside the fixture (absolute, "..") are skipped,
// so the walk of a folder source stays small.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "authoring/Project.h"
#include "uninstlog/UninstallerFile.h"

namespace {

std::string Fixture() {
  static std::string folder;
  if (!folder.empty()) return folder;
  char name[] = "/tmp/setvik-fuzz-project-XXXXXX";
  folder = mkdtemp(name);
  mkdir((folder + "/sub").c_str(), 0755);
  std::ofstream(folder + "/a.txt") << "a";
  std::ofstream(folder + "/sub/b.txt") << "b";
  symlink("..", (folder + "/sub/loop").c_str());
  return folder;
}

bool Accepted(const std::string& text, LogNameRule rule) {
  return IsLogName(LogText{text.data(), static_cast<uint32_t>(text.size())}, rule);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (size > 1 << 14 || text.find("..") != std::string::npos || text.find("\"/") != std::string::npos ||
      text.find("'/") != std::string::npos || text.find('\\') != std::string::npos)
    return 0;
  const std::string path = Fixture() + "/setup.toml";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(size));
  Project project;
  std::string error;
  if (!LoadProject(path, project, error)) {
    if (error.compare(0, path.size(), path) != 0) __builtin_trap();
    return 0;
  }
  for (const ProjectFile& file : project.files) {
    if (!Accepted(file.record.strings[kStringFileName], kLogNamePath)) __builtin_trap();
    const std::string& group = file.record.strings[kStringGroupName];
    if (!group.empty() && !Accepted(group, kLogNamePath)) __builtin_trap();
  }
  if (project.uninstallName && !Accepted(*project.uninstallName, kLogNameKey)) __builtin_trap();
  return 0;
}
