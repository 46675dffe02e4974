// The /LOG file (see RunLog.h).
#include "base/RunLog.h"

#include "base/FileAccess.h"
#include "base/TextFormat.h"

static FileHandle RunLog = kInvalidFile;

bool OpenRunLog(const char* path) {
  RunLog = FileCreate(path);
  return RunLog != kInvalidFile;
}

void LogEvent(const char* event, const char* detail) {
  if (RunLog == kInvalidFile) return;
  char line[kRunLogLineSize];
  uint32_t length = 0;
  const char* parts[3] = {event, ": ", detail};
  for (const char* part : parts) {
    for (; *part && length < kRunLogLineSize - 2; ++part)
      line[length++] = (*part == '\r' || *part == '\n') ? ' ' : *part;
  }
  line[length++] = '\r';
  line[length++] = '\n';
  FileWrite(RunLog, line, length);
}

void CloseRunLog(int32_t exitCode) {
  if (RunLog == kInvalidFile) return;
  char number[16];
  FormatTextNumber(number, sizeof number, "%d", exitCode);
  LogEvent("exit code", number);
  FileClose(RunLog);
  RunLog = kInvalidFile;
}
