// setvik-uidriver <script|-> : runs a scenario script (Script.cpp lists the
// commands) against a Windows program. Exit code 0 when every step passed,
// 1 when a step failed, 2 when the script cannot be read or parsed.
#include <fstream>
#include <iostream>

#include "tests/uidriver/Script.h"

int main(int argc, char** argv) {
  std::string name = argc == 2 ? argv[1] : "";
  std::ifstream file;
  if (name != "-") file.open(name);
  std::vector<ScriptStep> steps;
  std::string error = name.empty() ? "usage: setvik-uidriver <script file | ->" : "cannot read " + name;
  if (name.empty() || (name != "-" && !file) || !ParseScript(name == "-" ? std::cin : file, steps, error)) {
    std::cerr << error << "\n";
    return 2;
  }
  return RunScript(steps, std::cout);
}
