// PE images made by hand, with a version resource and a fixed layout whose
// offsets a test can damage, and signed the way a signing tool lays it out.
#pragma once

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace PeTestFiles {

// Little-endian fields appended to a byte vector, as resources and
// templates lay them out; PutText adds a UTF-16 text and its terminator.
inline void Put16(std::vector<uint8_t>& out, uint16_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void Put32(std::vector<uint8_t>& out, uint32_t v) { Put16(out, uint16_t(v)), Put16(out, uint16_t(v >> 16)); }
inline void PutText(std::vector<uint8_t>& out, std::u16string_view text) {
  for (char16_t c : text) Put16(out, c);
  Put16(out, 0);
}
inline void Pad4(std::vector<uint8_t>& out) { out.resize((out.size() + 3) & ~size_t{3}, 0); }

// A VS_VERSIONINFO resource of file version 1.2.3.4, product 5.6.7.8, with
// a StringFileInfo block and then a VarFileInfo block of language 0x0409.
std::vector<uint8_t> MakeVersionResource();

// The layout of MakePe's image: one section, ".rsrc", at file offset
// kResourceFileOffset and RVA 0x1000; resource offsets count from its
// start, and the tree is type 16 -> name 1 -> language 0x409.
const uint32_t kPeHeaderOffset = 0x40;  // "PE\0\0"; e_lfanew at 0x3C
const uint32_t kOptionalHeaderOffset = 0x58;
const uint32_t kResourceFileOffset = 0x200;
const uint32_t kNameDirectory = 0x18;
const uint32_t kLanguageDirectory = 0x30;
const uint32_t kDataEntry = 0x48;
const uint32_t kVersionData = 0x58;
inline uint32_t SectionTableOffset(bool pe32Plus) { return kOptionalHeaderOffset + (pe32Plus ? 240 : 224); }
// File offset of the security directory's size field.
inline uint32_t CertificateSizeOffset(bool pe32Plus) { return kOptionalHeaderOffset + (pe32Plus ? 112 : 96) + 36; }

std::vector<uint8_t> MakePe(bool pe32Plus, const std::vector<uint8_t>& versionResource);

// Signs file (which begins with MakePe's header) the way a signing tool
// lays it out: padding zero bytes, then a certificate table of tableSize
// bytes, whose offset and size go into the security directory.
void AppendCertificateTable(std::vector<uint8_t>& file, bool pe32Plus, uint32_t padding, uint32_t tableSize);

}  // namespace PeTestFiles
