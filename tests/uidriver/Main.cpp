// setvik-uidriver <script|-> : runs a scenario script (Script.cpp lists the
// commands) against a Windows program. Exit code 0 when every step passed,
// 1 when a step failed, 2 when the script cannot be read or parsed.
#include <fstream>
#include <iostream>

#include "tests/uidriver/Script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: setvik-uidriver <script file | ->\n";
    return 2;
  }
  std::string name = argv[1];
  std::ifstream file;
  if (name != "-") {
    file.open(name);
    if (!file) {
      std::cerr << "cannot read " << name << "\n";
      return 2;
    }
  }
  std::vector<ScriptStep> steps;
  std::string error;
  if (!ParseScript(name == "-" ? std::cin : file, steps, error)) {
    std::cerr << name << ": " << error << "\n";
    return 2;
  }
  return RunScript(steps, std::cout);
}
