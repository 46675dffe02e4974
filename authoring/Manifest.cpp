// The programs' manifests; see Manifest.h.
#include "authoring/Manifest.h"

#include <string.h>

#include <algorithm>
#include <string_view>

namespace {

const char kOpen[] = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">";
const char kClose[] = "</assembly>";
const char kNoSlot[] = "it carries no manifest slot";
const char kAdministrator[] = "level=\"requireAdministrator\"";
const char kInvoker[] = "level=\"asInvoker\"";
const char kUtf8[] =
    "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>";

}  // namespace

std::string ProgramManifest(const ManifestSettings& settings) {
  std::string text = std::string(kOpen) +
                     "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
                     "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
                     "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>"
                     "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
                     "<requestedExecutionLevel " +
                     (settings.asInvoker ? kInvoker : kAdministrator) +
                     "/></requestedPrivileges></security></trustInfo>"
                     "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"
                     "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>" +
                     (settings.utf8 ? kUtf8 : "") + "</windowsSettings></application>";
  text.append(kManifestSlotSize - text.size() - strlen(kClose), ' ');
  return text + kClose;
}

std::optional<uint32_t> FindManifestSlot(const uint8_t* program, uint64_t size, std::string& error) {
  const std::string_view bytes(reinterpret_cast<const char*>(program), size);
  const size_t at = bytes.find(kOpen);
  if (at == std::string_view::npos) {
    error = kNoSlot;
    return std::nullopt;
  }
  if (bytes.find(kOpen, at + 1) != std::string_view::npos) {
    error = "it carries more than one manifest";
    return std::nullopt;
  }
  if (size - at < kManifestSlotSize ||
      bytes.substr(at + kManifestSlotSize - strlen(kClose), strlen(kClose)) != kClose) {
    error = "its manifest is not a slot of " + std::to_string(kManifestSlotSize) + " bytes (use it as built)";
    return std::nullopt;
  }
  return static_cast<uint32_t>(at);
}

bool FillManifestSlot(std::vector<uint8_t>& program, const ManifestSettings& settings, std::string& error) {
  std::string problem;
  const std::optional<uint32_t> at = FindManifestSlot(program.data(), program.size(), problem);
  if (!at) {
    if (!settings.asInvoker && !settings.utf8 && problem == kNoSlot) return true;
    error = problem;
    return false;
  }
  const std::string manifest = ProgramManifest(settings);
  std::copy(manifest.begin(), manifest.end(), program.begin() + *at);
  return true;
}

std::optional<std::string> DescribeManifest(const uint8_t* program, uint64_t size) {
  std::string error;
  const std::optional<uint32_t> at = FindManifestSlot(program, size, error);
  if (!at) return std::nullopt;
  const std::string_view slot(reinterpret_cast<const char*>(program) + *at, kManifestSlotSize);
  std::string text = slot.find(kInvoker) != std::string_view::npos          ? "asInvoker"
                     : slot.find(kAdministrator) != std::string_view::npos ? "requireAdministrator"
                                                                           : "no execution level";
  if (slot.find(kUtf8) != std::string_view::npos) text += ", UTF-8";
  return text;
}
