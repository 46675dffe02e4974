// The uninstall writer, compiled into the test program, with the wizard's
// GoToPage noted instead of carried out.
#include "uninstall/UninstallInfoWin32.cpp"

#include <vector>

std::vector<int> PagesGoneTo;
void GoToPage(int page) { PagesGoneTo.push_back(page); }

// A log that failed after bytes were written at the uninstaller's old end
// less 8, taken back as the writer takes it back.
void WritePartialLogAndRestore(const char* path, const void* bytes, uint32_t n) {
  LogFile = FileOpen(path, kFileReadWrite);
  LogStart = FileSeekEnd(LogFile, 0);
  FileSeekTo(LogFile, LogStart - kChunkHeaderSize);
  FileWrite(LogFile, bytes, n);
  RestoreUninstaller();
  FileClose(LogFile);
  LogFile = kInvalidFile;
}
