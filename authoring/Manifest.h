// The application manifest of the stub and of the uninstaller. Each program
// carries its manifest resource in a slot of fixed size (kManifestSlotSize
// bytes, from "<assembly" to "</assembly>"), which `setvik build` fills with
// the manifest the project needs before anything is signed: the execution
// level (requireAdministrator, or asInvoker for a per-user setup) and,
// for a UTF-8 setup, the UTF-8 active code page. Blanks before the closing
// tag pad it to the slot, so the PE image keeps its layout.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

struct ManifestSettings {
  bool asInvoker = false;  // no elevation: a per-user installation
  bool utf8 = false;       // activeCodePage UTF-8: the ...A calls take UTF-8
};

// The largest manifest, and so the size of every slot; the programs'
// .manifest files are the default manifest padded to it.
const uint32_t kManifestSlotSize = 788;

// The manifest for settings, padded with blanks to kManifestSlotSize.
std::string ProgramManifest(const ManifestSettings& settings);

// Where program's slot lies: the only "<assembly" in the first size bytes,
// ending with "</assembly>" exactly kManifestSlotSize bytes on. nullopt
// when there is none (error says why).
std::optional<uint32_t> FindManifestSlot(const uint8_t* program, uint64_t size, std::string& error);

// Writes the manifest for settings into program's slot. A program without
// a slot is left alone when it needs the default manifest anyway (a bare
// test program); otherwise that is an error.
bool FillManifestSlot(std::vector<uint8_t>& program, const ManifestSettings& settings, std::string& error);

// What the manifest in the slot asks for: "requireAdministrator",
// "asInvoker, UTF-8", ...; nullopt when there is no slot.
std::optional<std::string> DescribeManifest(const uint8_t* program, uint64_t size);
