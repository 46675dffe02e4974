// setvik: the authoring tool's command line. Each command has one entry
// below: its synopsis and summary make the overview (`setvik --help`, and
// the usage text of a mistyped command line), its details the page that
// `setvik help COMMAND` shows. docs/setvik.1 and the README's command
// reference say the same and change with it.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

#include "SetvikVersion.h"
#include "authoring/cli/Commands.h"
#include "base/Message.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Arguments& args);
  const char* synopsis;  // after "setvik "
  const char* summary;   // the overview's lines, each indented below the synopsis
  const char* details;   // the rest of the command's own page
};

const Command kCommands[] = {
    {"build", RunBuild, "build PROJECT -o SETUP [--stub STUB] [--uninstaller UNINSTALLER] [--sign-command CMD]",
     "make a setup (and its volumes) from a project file; CMD signs\n"
     "the uninstaller and the setup, from {in} into {out}",
     "PROJECT is a TOML project file (docs/project-file.md). The setup is written\n"
     "to SETUP, its volume files (SETUP.D01, ...) beside it.\n"
     "  --stub STUB         the setup program; by default setvik-stub.exe beside\n"
     "                      the setvik program, else in ../share/setvik from it\n"
     "  --uninstaller UNINSTALLER\n"
     "                      the uninstaller for a project with an [uninstaller] table;\n"
     "                      by default setvik-uninst.exe, looked for like the stub\n"
     "  --sign-command CMD  run CMD on the uninstaller and on the finished setup;\n"
     "                      {in} stands for the unsigned file, {out} for the signed\n"
     "                      file it must write\n"},
    {"extract", RunExtract, "extract SETUP DIR",
     "write every stored file below DIR, checking each",
     "One folder per destination below DIR: install, windows, system, fonts.\n"
     "Each stream must end exactly at its packed size and decode to exactly its\n"
     "size and checksum. No link among the folders below DIR is followed.\n"},
    {"deflate", RunDeflate, "deflate [--level N] IN OUT",
     "compress IN into one stream of the setup format (N 0-12, default 12)",
     "  --level N  0 stores, 12 (the default) gives the smallest stream\n"},
    {"inflate", RunInflate, "inflate IN OUT", "decompress one stream of the setup format", ""},
    {"list", RunList, "list SETUP", "show the chunks, settings, texts and file table of a setup",
     "Volume files beside the setup are followed; a missing or short one is named.\n"},
    {"verify", RunVerify, "verify SETUP",
     "decode every stored file and check its size and checksum;\n"
     "name the certificate table of a signed setup",
     "The signature itself is not checked.\n"},
    {"log", RunLog, "log UNINSTALLER", "show the uninstall log that a setup appended to its uninstaller",
     "Files with their flags, shortcuts and the registry key. A log that the\n"
     "uninstaller would refuse is shown and then named, with exit code 1.\n"},
};

const char kExitCodes[] =
    "Exit codes: 0 on success; 1 when an input is invalid or a file fails its\n"
    "check; 2 for a usage error.\n";

// The overview: every command's synopsis, its summary in a column beside.
void PrintOverview(FILE* out) {
  fputs("usage: setvik COMMAND ...\n", out);
  for (const Command& c : kCommands) {
    fprintf(out, "  %-29s", c.synopsis);
    const char* line = c.summary;
    if (strlen(c.synopsis) > 29) fprintf(out, "\n  %-29s", "");
    for (const char* end; (end = strchr(line, '\n')); line = end + 1)
      fprintf(out, "%.*s\n  %-29s", static_cast<int>(end - line), line, "");
    fprintf(out, "%s\n", line);
  }
  fputs("  help COMMAND                 show one command's usage\n"
        "  --version                    print the version\n",
        out);
}

int PrintCommandHelp(const Command& c) {
  printf("usage: setvik %s\n\n%s\n", c.synopsis, c.summary);
  if (*c.details) printf("\n%s", c.details);
  printf("\n%s", kExitCodes);
  return 0;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

// A companion program of the tool: beside it (a build tree's build/bin),
// else in ../share/setvik from it (an installed tool: bin/setvik and
// share/setvik/). When it is in neither place, the first one.
std::string CompanionPath(const char* name) {
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path();
  const std::filesystem::path beside = folder / name;
  const std::filesystem::path shared = folder.parent_path() / "share" / "setvik" / name;
  if (!std::filesystem::exists(beside, ignored) && std::filesystem::exists(shared, ignored)) return shared.string();
  return beside.string();
}

}  // namespace

int Fail(const std::string& message, int code) {
  fprintf(stderr, "setvik: %s\n", message.c_str());
  return code;
}

std::string DefaultStubPath() { return CompanionPath("setvik-stub.exe"); }
std::string DefaultUninstallerPath() { return CompanionPath("setvik-uninst.exe"); }

int Usage() {
  PrintOverview(stderr);
  return 2;
}

int main(int argc, char** argv) {
  MessageBoxHandler = ToolMessageBox;
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  Arguments args(argv + 2, argv + argc);
  if (command == "--version") {
    printf("setvik %s\n", kSetvikVersion);
    return 0;
  }
  if (command == "-h" || command == "--help" || (command == "help" && args.empty())) {
    PrintOverview(stdout);
    printf("\n%s", kExitCodes);
    return 0;
  }
  if (command == "help") {
    if (args.size() != 1) return Usage();
    const Command* c = FindCommand(args[0]);
    return c ? PrintCommandHelp(*c) : Fail("help: no command '" + args[0] + "'", 2);
  }
  if (const Command* c = FindCommand(command)) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return PrintCommandHelp(*c);
    return c->run(args);
  }
  fprintf(stderr, "setvik: unknown command '%s'\n", command.c_str());
  return Usage();
}
