// The /LOG file: a plain-text account of what one run of the setup did,
// one line per event ("event: detail", CR LF), written as it happens so
// that a run that ends abruptly still leaves what it did so far. The file
// is created, or truncated when it exists: a deployment tool that runs the
// same setup again with the same /LOG gets the new run's log alone.
// Nothing is written while no log is open.
#pragma once

#include <stdint.h>

// Opens path as the log. False when it cannot be created.
bool OpenRunLog(const char* path);
// Appends "event: detail". Line breaks in detail (a setup text may hold
// them) become blanks, and a line is cut at kRunLogLineSize - 3 characters.
void LogEvent(const char* event, const char* detail);
// "exit code: n" as the last line, and the file closed.
void CloseRunLog(int32_t exitCode);

const uint32_t kRunLogLineSize = 1100;
