// The commands of the setvik tool. Each takes its arguments after the
// command word and returns the process's exit code.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int RunDeflate(const Arguments& args);
int RunInflate(const Arguments& args);
int RunList(const Arguments& args);
int RunVerify(const Arguments& args);
int RunExtract(const Arguments& args);
int RunBuild(const Arguments& args);
int RunLog(const Arguments& args);

// setvik-stub.exe and setvik-uninst.exe as the tool finds them without an
// option: beside the setvik program (build/bin), else in ../share/setvik
// from it (an installed tool); the first place when in neither.
std::string DefaultStubPath();
std::string DefaultUninstallerPath();

// The portable core's message box for the tool (authoring/cli/CliPlatform.cpp):
// a line on standard error; the disk prompt answered by giving up.
int ToolMessageBox(const char* text, uint32_t boxType);

// "setvik: " + message on standard error; returns exit code 1 (or code).
int Fail(const std::string& message, int code = 1);
// The usage text on standard error; exit code 2.
int Usage();
