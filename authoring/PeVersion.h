// The version numbers and the language of a Windows program or library, read
// from the version resource of its PE image (32- or 64-bit) without the
// Windows API, for the versionBlock of a file record. The setup program
// compares them with an existing file through GetFileVersionInfo and
// VerQueryValue ("\\" and "\VarFileInfo\Translation"); this reader finds the
// same two values the same way: resource type RT_VERSION (16), the first
// name, the first language, then VS_VERSIONINFO with its VS_FIXEDFILEINFO
// and the first entry of VarFileInfo\Translation.
//
// The input is untrusted: every offset is checked against the file before it
// is read, the resource tree is walked to its fixed depth of three with no
// directory visited twice, and a failure says what was wrong and at which
// file offset.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PeVersionInfo {
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  // The language word of the first Translation entry, widened; 0 when the
  // resource has no Translation value.
  uint32_t languageId = 0;
  bool hasFixedInfo = false;    // the four versions were found (signature 0xFEEF04BD)
  bool hasTranslation = false;  // languageId was found
  bool pe32Plus = false;        // the image is a 64-bit (PE32+) one
};

// The version resource of a PE image held in memory. nullopt with error set
// when the bytes are not a PE image, its headers or resource tree are
// damaged, or it carries no version resource. A version resource without
// the fixed information or without a translation is not an error: the flags
// say what was found.
std::optional<PeVersionInfo> ReadPeVersion(const std::vector<uint8_t>& file, std::string& error);

// A version given by hand, "1", "1.2", "1.2.3" or "1.2.3.4": decimal parts of
// 0 to 65535, missing ones 0. ms = part1 << 16 | part2, ls = part3 << 16 | part4.
// False (with a message in *error when it is given) for anything else.
bool ParseVersionString(std::string_view text, uint32_t& ms, uint32_t& ls, std::string* error = nullptr);
