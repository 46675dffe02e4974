// PE images with version resources, made by hand.
#include "tests/support/PeTestFiles.h"

#include <string.h>

#include "setupdata/Format.h"

namespace PeTestFiles {
namespace {

using Bytes = std::vector<uint8_t>;

// One block of a version resource: wLength, wValueLength, wType, key,
// padding, value, padding, children. Blocks start 4-aligned, so aligning
// within the block aligns within the resource.
struct Block {
  std::u16string key;
  uint16_t type = 0;
  Bytes value;
  uint16_t valueLength = 0;  // bytes, or 16-bit characters when type is 1
  std::vector<Block> children;
};

Bytes Write(const Block& block) {
  Bytes out;
  Put16(out, 0);  // wLength, set below
  Put16(out, block.valueLength);
  Put16(out, block.type);
  PutText(out, block.key);
  Pad4(out);
  out.insert(out.end(), block.value.begin(), block.value.end());
  for (const Block& child : block.children) {
    Pad4(out);
    Bytes bytes = Write(child);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  WriteU16Le(out.data(), static_cast<uint16_t>(out.size()));
  return out;
}

Block TextValue(const std::u16string& key, const std::u16string& text) {
  Block block{key, 1, {}, static_cast<uint16_t>(text.size() + 1), {}};
  PutText(block.value, text);
  return block;
}

}  // namespace

std::vector<uint8_t> MakeVersionResource() {
  Block root{u"VS_VERSION_INFO", 0, {}, 0, {}};
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, 0x00010002u, 0x00030004u, 0x00050006u, 0x00070008u, 0x3Fu, 0u,
                     0x40004u, 2u, 0u, 0u, 0u}) {
    Put32(root.value, v);
  }
  root.valueLength = static_cast<uint16_t>(root.value.size());
  Block table{u"040904B0", 1, {}, 0, {TextValue(u"FileDescription", u"Setvik test"), TextValue(u"FileVersion", u"1.2")}};
  root.children.push_back({u"StringFileInfo", 1, {}, 0, {table}});
  Block translation{u"Translation", 0, {}, 4, {}};
  Put16(translation.value, 0x0409);
  Put16(translation.value, 1200);
  root.children.push_back({u"VarFileInfo", 1, {}, 0, {translation}});
  return Write(root);
}

std::vector<uint8_t> MakePe(bool pe32Plus, const std::vector<uint8_t>& versionResource) {
  const uint32_t rva = 0x1000, resourceSize = kVersionData + static_cast<uint32_t>(versionResource.size());
  const uint32_t rawSize = (resourceSize + 0x1FF) & ~0x1FFu;
  Bytes pe(kResourceFileOffset + rawSize, 0);
  pe[0] = 'M', pe[1] = 'Z';
  WriteU32Le(&pe[0x3C], kPeHeaderOffset);
  WriteU32Le(&pe[kPeHeaderOffset], 0x00004550);
  WriteU16Le(&pe[kPeHeaderOffset + 4], pe32Plus ? 0x8664 : 0x014C);  // Machine
  WriteU16Le(&pe[kPeHeaderOffset + 6], 1);                           // NumberOfSections
  WriteU16Le(&pe[kPeHeaderOffset + 20], pe32Plus ? 240 : 224);       // SizeOfOptionalHeader
  WriteU16Le(&pe[kPeHeaderOffset + 22], 0x2102);                     // executable DLL
  uint8_t* optional = &pe[kOptionalHeaderOffset];
  WriteU16Le(optional, pe32Plus ? 0x20B : 0x10B);
  WriteU32Le(optional + 32, 0x1000);  // SectionAlignment
  WriteU32Le(optional + 36, 0x200);   // FileAlignment
  uint8_t* directories = optional + (pe32Plus ? 112 : 96);
  WriteU32Le(directories - 4, 16);  // NumberOfRvaAndSizes
  WriteU32Le(directories + 16, rva);
  WriteU32Le(directories + 20, resourceSize);
  uint8_t* section = &pe[SectionTableOffset(pe32Plus)];
  memcpy(section, ".rsrc", 5);
  WriteU32Le(section + 8, resourceSize);  // VirtualSize
  WriteU32Le(section + 12, rva);
  WriteU32Le(section + 16, rawSize);
  WriteU32Le(section + 20, kResourceFileOffset);
  uint8_t* resources = &pe[kResourceFileOffset];
  const uint32_t tree[][3] = {{0, 16, 0x80000000 | kNameDirectory},
                              {kNameDirectory, 1, 0x80000000 | kLanguageDirectory},
                              {kLanguageDirectory, 0x409, kDataEntry}};
  for (const auto& directory : tree) {
    WriteU16Le(resources + directory[0] + 14, 1);  // one id entry
    WriteU32Le(resources + directory[0] + 16, directory[1]);
    WriteU32Le(resources + directory[0] + 20, directory[2]);
  }
  WriteU32Le(resources + kDataEntry, rva + kVersionData);
  WriteU32Le(resources + kDataEntry + 4, static_cast<uint32_t>(versionResource.size()));
  memcpy(resources + kVersionData, versionResource.data(), versionResource.size());
  return pe;
}

void AppendCertificateTable(std::vector<uint8_t>& file, bool pe32Plus, uint32_t padding, uint32_t tableSize) {
  file.insert(file.end(), padding, 0);
  const uint32_t tableAt = static_cast<uint32_t>(file.size());
  file.insert(file.end(), tableSize, 0x5A);
  WriteU32Le(&file[CertificateSizeOffset(pe32Plus) - 4], tableAt);
  WriteU32Le(&file[CertificateSizeOffset(pe32Plus)], tableSize);
}

}  // namespace PeTestFiles
