// Compiling a project's resource script with windres, and reading .res
// files. windres runs as a child process with its output and messages
// collected through a pipe; the .res it writes goes to a private temporary
// folder that is removed afterwards.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "authoring/DialogTemplates.h"
#include "authoring/SetupFile.h"

extern char** environ;

namespace {

// The first executable file called name in a folder of PATH, or "".
std::string FindOnPath(const std::string& name) {
  const char* path = getenv("PATH");
  if (path == nullptr) return "";
  std::string folders = path;
  size_t start = 0;
  for (;;) {
    size_t end = folders.find(':', start);
    std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

// Runs program with args, standard input from /dev/null, standard output
// and error collected into output. False with a message when it cannot be
// started; exitCode is the program's exit status, or -1 when a signal ended it.
bool RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& output,
                int& exitCode, std::string& error) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error = "cannot make a pipe for " + program;
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child;
  int spawnError = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawnError != 0) {
    close(pipeEnds[0]);
    error = "cannot start " + program;
    return false;
  }
  char buffer[4096];
  for (;;) {
    ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
    if (got > 0) {
      output.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReadResourceFile(const std::string& resPath, std::vector<uint8_t>& res, std::string& error) {
  return ReadWholeFile(resPath, res, error);
}

bool CompileResourceScript(const std::string& rcPath, std::vector<uint8_t>& res, std::string& error) {
  std::string windres = FindOnPath("i686-w64-mingw32-windres");
  if (windres.empty()) windres = FindOnPath("windres");
  if (windres.empty()) {
    error = "cannot compile " + rcPath +
            ": neither i686-w64-mingw32-windres nor windres is on PATH (Debian package binutils-mingw-w64-i686)";
    return false;
  }
  struct stat info;
  if (stat(rcPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "cannot open " + rcPath + " (not a regular file)";
    return false;
  }
  const char* tmp = getenv("TMPDIR");
  std::string folder = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/setvik-rc-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    error = "cannot make a temporary folder for compiling " + rcPath;
    return false;
  }
  std::string resPath = folder + "/dialogs.res";
  std::string output;
  int exitCode = 0;
  bool ran = RunProgram(windres,
                        {"--input-format=rc", "--output-format=res", "--codepage=65001",
                         "--include-dir=" + FolderOf(rcPath), "--input=" + rcPath, "--output=" + resPath},
                        output, exitCode, error);
  bool done = false;
  if (ran && exitCode != 0) {
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    error = windres + " failed on " + rcPath + (output.empty() ? std::string() : ":\n" + output);
  } else if (ran) {
    done = ReadResourceFile(resPath, res, error);
  }
  unlink(resPath.c_str());
  rmdir(folder.c_str());
  return done;
}
