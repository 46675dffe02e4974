// Reads shortcut files back for the installation tests: for each .lnk file
// named on the command line, prints
//   path=<target>  args=<arguments>  dir=<working folder>  icon=<file>,<index>
// one per line, in that order, through IShellLinkA; "error=<hresult>" when a
// link cannot be loaded. A name that begins with "desktop:" or "programs:"
// is taken relative to that folder of the user.
#include <objidl.h>
#include <shlobj.h>
#include <stdio.h>
#include <windows.h>

// The link's full path: name itself, or below the special folder that its
// prefix names.
static bool LinkPath(const char* name, char* path) {
  static const struct {
    const char* prefix;
    int folder;
  } kFolders[] = {{"desktop:", CSIDL_DESKTOPDIRECTORY}, {"programs:", CSIDL_PROGRAMS}};
  for (const auto& f : kFolders) {
    const int length = lstrlenA(f.prefix);
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name, length, f.prefix, length) != CSTR_EQUAL)
      continue;
    if (!SHGetSpecialFolderPathA(nullptr, path, f.folder, FALSE)) return false;
    lstrcatA(path, "\\");
    return lstrlenA(path) + lstrlenA(name + length) < MAX_PATH && lstrcatA(path, name + length);
  }
  lstrcpynA(path, name, MAX_PATH);
  return true;
}

int main(int argc, char** argv) {
  if (FAILED(CoInitialize(nullptr))) return 2;
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    WCHAR wide[MAX_PATH];
    char linkPath[MAX_PATH];
    if (SUCCEEDED(result) && (!LinkPath(argv[i], linkPath) || !MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH)))
      result = E_INVALIDARG;
    if (SUCCEEDED(result)) result = file->Load(wide, STGM_READ);
    if (FAILED(result)) {
      printf("error=%08lx\n", static_cast<unsigned long>(result));
      ++failures;
    } else {
      char path[MAX_PATH] = "", args[1024] = "", dir[MAX_PATH] = "", icon[MAX_PATH] = "";
      int index = 0;
      link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetArguments(args, sizeof args);
      link->GetWorkingDirectory(dir, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &index);
      printf("path=%s\nargs=%s\ndir=%s\nicon=%s,%d\n", path, args, dir, icon, index);
    }
    if (file) file->Release();
    if (link) link->Release();
  }
  CoUninitialize();
  return failures ? 1 : 0;
}
