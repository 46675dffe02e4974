// Demo Core: the example setup's self-registering library. Registering
// leaves a mark in the registry that unregistering removes again.
#include <windows.h>

static const char kKey[] = "Software\\Setvik Demo\\Core";

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) != ERROR_SUCCESS) return E_FAIL;
  const char value[] = "registered";
  RegSetValueExA(key, "State", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
  RegCloseKey(key);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
  return RegDeleteKeyA(HKEY_CURRENT_USER, kKey) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) int __stdcall DemoCoreVersion() { return 0x00010002; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
