// setvik: the authoring tool's command line.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

#include "authoring/cli/Commands.h"
#include "base/Message.h"

static const char kUsage[] =
    "usage: setvik COMMAND ...\n"
    "  build PROJECT -o SETUP [--stub STUB] [--uninstaller UNINSTALLER] [--sign-command CMD]\n"
    "                               make a setup (and its volumes) from a project file; CMD signs\n"
    "                               the uninstaller and the setup, from {in} into {out}\n"
    "  extract SETUP DIR            write every stored file below DIR, checking each\n"
    "  deflate [--level N] IN OUT   compress IN into one stream of the setup format (N 0-12, default 12)\n"
    "  inflate IN OUT               decompress one stream of the setup format\n"
    "  log UNINSTALLER              show the uninstall log that a setup appended to its uninstaller\n"
    "  list SETUP                   show the chunks, settings, texts and file table of a setup\n"
    "  verify SETUP                 decode every stored file and check its size and checksum;\n"
    "                               name the certificate table of a signed setup\n";

int Fail(const std::string& message, int code) {
  fprintf(stderr, "setvik: %s\n", message.c_str());
  return code;
}

static std::string BesideTool(const char* name) {
  std::error_code ignored;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return (self.parent_path() / name).string();
}

std::string DefaultStubPath() { return BesideTool("setvik-stub.exe"); }
std::string DefaultUninstallerPath() { return BesideTool("setvik-uninst.exe"); }

int Usage() {
  fputs(kUsage, stderr);
  return 2;
}

int main(int argc, char** argv) {
  MessageBoxHandler = ToolMessageBox;
  if (argc < 2) return Usage();
  std::string command = argv[1];
  Arguments args(argv + 2, argv + argc);
  if (command == "deflate") return RunDeflate(args);
  if (command == "inflate") return RunInflate(args);
  if (command == "list") return RunList(args);
  if (command == "verify") return RunVerify(args);
  if (command == "extract") return RunExtract(args);
  if (command == "build") return RunBuild(args);
  if (command == "log") return RunLog(args);
  if (command == "-h" || command == "--help" || command == "help") {
    fputs(kUsage, stdout);
    return 0;
  }
  fprintf(stderr, "setvik: unknown command '%s'\n", command.c_str());
  return Usage();
}
