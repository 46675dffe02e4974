// The plain copy that the installation benchmark compares against:
// setvik-copytree SOURCE DESTINATION copies every file below SOURCE into
// DESTINATION (folders created as needed) with CopyFileA, then prints
// "files=<n> bytes=<n> ms=<elapsed>" for the copying alone.
#include <stdio.h>
#include <windows.h>

#include <string>

static unsigned long long bytesCopied;
static unsigned files;

static bool CopyFolder(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = CopyFolder(from + "\\" + name, to + "\\" + name) && ok;
    } else if (CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) {
      ++files;
      bytesCopied += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } else {
      ok = false;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return ok;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool ok = CopyFolder(argv[1], argv[2]);
  QueryPerformanceCounter(&end);
  printf("files=%u bytes=%llu ms=%.1f\n", files, bytesCopied,
         1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return ok ? 0 : 1;
}
