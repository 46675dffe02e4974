// The code of the version-resource test libraries: nothing but an export,
// so that the library links. Only their version resources matter.
extern "C" __declspec(dllexport) int VersionProbe() { return 0; }
