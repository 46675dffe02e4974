// Reading a program's command line, shared by the setup and the
// uninstaller.
#pragma once

inline const char* SkipBlanks(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  return text;
}

// The command line without the program's own name (quoted or bare) and the
// blanks after it.
inline const char* SkipProgramName(const char* text) {
  if (*text == '"') {
    ++text;
    while (*text && *text != '"') ++text;
    if (*text == '"') ++text;
  } else {
    while (*text && *text != ' ' && *text != '\t') ++text;
  }
  return SkipBlanks(text);
}
