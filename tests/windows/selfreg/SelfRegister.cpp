// A self-registering library for the registration tests: DllRegisterServer
// sets HKCU\Software\Setvik Test\SelfRegister "State" to "registered".
// Linked with --kill-at so that the export carries its plain name.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Setvik Test\\SelfRegister", &key) != ERROR_SUCCESS) return E_FAIL;
  const char value[] = "registered";
  RegSetValueExA(key, "State", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
  return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
