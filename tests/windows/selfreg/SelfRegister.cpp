// A self-registering library for the registration tests: DllRegisterServer
// sets HKCU\Software\Setvik Test\SelfRegister "State" to "registered",
// DllUnregisterServer deletes the value. Built 64-bit as well
// (SelfRegister64.dll), it uses the value "State64". Linked with --kill-at
// so that the export carries its plain name.
#include <windows.h>

static const char kKey[] = "Software\\Setvik Test\\SelfRegister";
#ifdef _WIN64
static const char kValue[] = "State64";
#else
static const char kValue[] = "State";
#endif

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) != ERROR_SUCCESS) return E_FAIL;
  const char value[] = "registered";
  RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return S_OK;
  RegDeleteValueA(key, kValue);
  RegCloseKey(key);
  return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
