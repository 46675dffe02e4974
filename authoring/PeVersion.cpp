// Reading a PE image's version resource. The walk, each step bounded by the
// file:
//
//   0x00   "MZ"; u32 at 0x3C = offset of the PE signature
//   pe     "PE\0\0", COFF header (20 bytes: u16 NumberOfSections at +6,
//          u16 SizeOfOptionalHeader at +20), optional header at pe + 24
//   opt    u16 magic 0x10B (PE32) or 0x20B (PE32+); NumberOfRvaAndSizes at
//          +92 / +108, data directories (u32 RVA, u32 size) from +96 / +112,
//          directory 2 = resources
//   after  section table: 40 bytes each (u32 VirtualSize at +8,
//          VirtualAddress +12, SizeOfRawData +16, PointerToRawData +20)
//
// A resource directory is 16 bytes (u16 named-entry count at +12, u16 id-entry
// count at +14) followed by 8-byte entries: u32 name or id (top bit: name),
// u32 target (top bit: subdirectory; offsets counted from the start of the
// resource directory). A data entry holds the data's RVA and size.
//
// A version resource is a tree of blocks, each: u16 wLength (the block with
// its children), u16 wValueLength (bytes; 16-bit characters when wType is 1),
// u16 wType, a NUL-terminated UTF-16 key, padding to 4 bytes, the value,
// padding to 4 bytes, the children. Alignment counts from the start of the
// resource.
#include "authoring/PeVersion.h"

#include <stdio.h>

#include "setupdata/Format.h"

namespace {

const uint16_t kResourceTypeVersion = 16;
const uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
const uint32_t kFixedFileInfoSize = 52;
const uint32_t kSectionHeaderSize = 40;
const uint32_t kResourceDirectorySize = 16;
const uint32_t kResourceEntrySize = 8;
const uint32_t kResourceDataEntrySize = 16;
const uint32_t kHighBit = 0x80000000u;
const uint32_t kBlockHeaderSize = 6;

std::string Hex(uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

uint64_t Align4(uint64_t value) { return (value + 3) & ~uint64_t{3}; }

struct Section {
  std::string name;
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

struct PeFile {
  const uint8_t* bytes = nullptr;
  uint64_t size = 0;
  bool pe32Plus = false;
  uint32_t resourceRva = 0;
  std::vector<Section> sections;

  bool Has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
  uint16_t U16(uint64_t offset) const { return ReadU16Le(bytes + offset); }
  uint32_t U32(uint64_t offset) const { return ReadU32Le(bytes + offset); }
};

bool ReadSectionTable(PeFile& pe, uint64_t tableOffset, uint16_t count, std::string& error) {
  if (!pe.Has(tableOffset, uint64_t{count} * kSectionHeaderSize)) {
    error = "the section table (" + std::to_string(count) + " sections at offset " + Hex(tableOffset) +
            ") runs past the end of the file (" + std::to_string(pe.size) + " bytes)";
    return false;
  }
  for (uint16_t i = 0; i < count; ++i) {
    uint64_t at = tableOffset + uint64_t{i} * kSectionHeaderSize;
    Section section;
    for (int k = 0; k < 8 && pe.bytes[at + k] != 0; ++k) section.name += static_cast<char>(pe.bytes[at + k]);
    section.virtualSize = pe.U32(at + 8);
    section.virtualAddress = pe.U32(at + 12);
    section.rawSize = pe.U32(at + 16);
    section.rawOffset = pe.U32(at + 20);
    pe.sections.push_back(section);
  }
  return true;
}

// The DOS header, PE signature, COFF and optional headers and the section
// table; leaves the resource directory's RVA in pe (0: none).
bool ReadHeaders(PeFile& pe, std::string& error) {
  if (pe.size < 0x40 || pe.bytes[0] != 'M' || pe.bytes[1] != 'Z') {
    error = "not a PE file: no MZ header at offset 0";
    return false;
  }
  uint64_t signature = pe.U32(0x3C);
  if (!pe.Has(signature, 24) || pe.U32(signature) != 0x00004550) {
    error = "not a PE file: no PE signature at offset " + Hex(signature) + " (named at offset 0x3C)";
    return false;
  }
  uint16_t sectionCount = pe.U16(signature + 6);
  uint16_t optionalSize = pe.U16(signature + 20);
  uint64_t optional = signature + 24;
  if (optionalSize < 2 || !pe.Has(optional, 2)) {
    error = "not a PE image: no optional header at offset " + Hex(optional);
    return false;
  }
  uint16_t magic = pe.U16(optional);
  if (magic != 0x10B && magic != 0x20B) {
    error = "unknown optional header magic " + Hex(magic) + " at offset " + Hex(optional) +
            " (expected 0x10B for PE32 or 0x20B for PE32+)";
    return false;
  }
  pe.pe32Plus = magic == 0x20B;
  uint64_t countField = optional + (pe.pe32Plus ? 108 : 92);
  uint64_t resourceEntry = countField + 4 + 2 * 8;
  if (uint64_t{optionalSize} >= resourceEntry + 8 - optional) {
    if (!pe.Has(optional, optionalSize)) {
      error = "the optional header (" + std::to_string(optionalSize) + " bytes at offset " + Hex(optional) +
              ") runs past the end of the file";
      return false;
    }
    if (pe.U32(countField) > 2) pe.resourceRva = pe.U32(resourceEntry);
  }
  return ReadSectionTable(pe, optional + optionalSize, sectionCount, error);
}

// Where the bytes [rva, rva + length) lie in the file: within the raw data
// of the section that holds rva, and within the file. available = bytes of
// that section's data from offset on (at least length).
bool MapRva(const PeFile& pe, uint32_t rva, uint64_t length, const std::string& what, uint64_t& offset,
            uint64_t& available, std::string& error) {
  for (const Section& section : pe.sections) {
    uint64_t extent = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
    if (rva < section.virtualAddress || rva - section.virtualAddress >= extent) continue;
    uint64_t delta = rva - section.virtualAddress;
    uint64_t backed = section.rawSize < extent ? section.rawSize : extent;
    if (delta + length > backed) {
      error = what + " (RVA " + Hex(rva) + ", " + std::to_string(length) + " bytes) runs past the data of section '" +
              section.name + "'";
      return false;
    }
    offset = uint64_t{section.rawOffset} + delta;
    if (!pe.Has(offset, length)) {
      error = what + " (RVA " + Hex(rva) + ", " + std::to_string(length) + " bytes at file offset " + Hex(offset) +
              ") lies past the end of the file (" + std::to_string(pe.size) + " bytes)";
      return false;
    }
    uint64_t sectionEnd = uint64_t{section.rawOffset} + backed;
    available = (sectionEnd < pe.size ? sectionEnd : pe.size) - offset;
    return true;
  }
  error = what + " (RVA " + Hex(rva) + ") lies in no section";
  return false;
}

struct ResourceEntry {
  uint32_t name;
  uint32_t target;
  bool IsDirectory() const { return (target & kHighBit) != 0; }
  uint32_t Offset() const { return target & ~kHighBit; }
};

// The resource directories: base and size are the file range from the start
// of the resource directory to the end of its section's data.
struct ResourceArea {
  const PeFile& pe;
  uint64_t base;
  uint64_t size;
};

bool ReadResourceDirectory(const ResourceArea& area, uint32_t offset, const char* level,
                           std::vector<ResourceEntry>& entries, std::string& error) {
  std::string where = std::string("the ") + level + " directory at resource offset " + Hex(offset) + " (file offset " +
                      Hex(area.base + offset) + ")";
  if (offset > area.size || area.size - offset < kResourceDirectorySize) {
    error = where + " lies outside the resource section";
    return false;
  }
  uint64_t at = area.base + offset;
  uint32_t count = uint32_t{area.pe.U16(at + 12)} + area.pe.U16(at + 14);
  if (area.size - offset - kResourceDirectorySize < uint64_t{count} * kResourceEntrySize) {
    error = where + ": its " + std::to_string(count) + " entries run past the resource section";
    return false;
  }
  entries.clear();
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t entry = at + kResourceDirectorySize + uint64_t{i} * kResourceEntrySize;
    entries.push_back({area.pe.U32(entry), area.pe.U32(entry + 4)});
  }
  return true;
}

// Follows entry to the next directory level, refusing a directory already
// visited on the way down (a loop in the tree).
bool Descend(const ResourceArea& area, const ResourceEntry& entry, const char* from, const char* level,
             std::vector<uint32_t>& visited, std::vector<ResourceEntry>& entries, std::string& error) {
  if (!entry.IsDirectory()) {
    error = std::string("the ") + from + " points to data where a " + level + " directory belongs";
    return false;
  }
  for (uint32_t seen : visited) {
    if (seen == entry.Offset()) {
      error = std::string("loop in the resource directory: the ") + from +
              " points back to the directory at resource offset " + Hex(seen);
      return false;
    }
  }
  visited.push_back(entry.Offset());
  if (!ReadResourceDirectory(area, entry.Offset(), level, entries, error)) return false;
  if (entries.empty()) {
    error = std::string("the version resource's ") + level + " directory at resource offset " + Hex(entry.Offset()) +
            " is empty";
    return false;
  }
  return true;
}

// The file range of the first version resource: type 16, first name, first
// language.
bool FindVersionResource(const PeFile& pe, uint64_t& offset, uint64_t& size, std::string& error) {
  if (pe.resourceRva == 0) {
    error = "the PE file has no resources, so no version resource";
    return false;
  }
  uint64_t base = 0, available = 0;
  if (!MapRva(pe, pe.resourceRva, kResourceDirectorySize, "the resource directory", base, available, error)) {
    return false;
  }
  ResourceArea area{pe, base, available};
  std::vector<ResourceEntry> entries;
  if (!ReadResourceDirectory(area, 0, "type", entries, error)) return false;
  const ResourceEntry* version = nullptr;
  for (const ResourceEntry& entry : entries) {
    if (entry.name == kResourceTypeVersion) {
      version = &entry;
      break;
    }
  }
  if (version == nullptr) {
    error = "the PE file has no version resource (no RT_VERSION among its " + std::to_string(entries.size()) +
            " resource types)";
    return false;
  }
  std::vector<uint32_t> visited{0};
  ResourceEntry typeEntry = *version;
  if (!Descend(area, typeEntry, "RT_VERSION entry", "name", visited, entries, error)) return false;
  ResourceEntry nameEntry = entries[0];
  if (!Descend(area, nameEntry, "first name entry", "language", visited, entries, error)) return false;
  ResourceEntry languageEntry = entries[0];
  if (languageEntry.IsDirectory()) {
    error = "the version resource's language entry points to a directory (resource offset " +
            Hex(languageEntry.Offset()) + ") where a data entry belongs";
    return false;
  }
  uint32_t dataEntry = languageEntry.target;
  if (dataEntry > area.size || area.size - dataEntry < kResourceDataEntrySize) {
    error =
        "the version resource's data entry at resource offset " + Hex(dataEntry) + " lies outside the resource section";
    return false;
  }
  uint32_t rva = pe.U32(base + dataEntry);
  size = pe.U32(base + dataEntry + 4);
  if (size == 0) {
    error = "the version resource is empty (data entry at file offset " + Hex(base + dataEntry) + ")";
    return false;
  }
  return MapRva(pe, rva, size, "the version resource", offset, available, error);
}

// One block of the version resource; all positions relative to its start.
struct Block {
  uint64_t start;
  uint64_t end;  // start + wLength
  uint16_t type;
  std::u16string key;
  uint64_t value;
  uint64_t valueSize;  // bytes
  uint64_t children;
};

struct VersionData {
  const uint8_t* bytes;
  uint64_t size;
  uint64_t fileOffset;  // for messages

  std::string Where(uint64_t at) const { return "at file offset " + Hex(fileOffset + at); }
};

bool ParseBlock(const VersionData& data, uint64_t start, uint64_t limit, Block& block, std::string& error) {
  uint16_t length = ReadU16Le(data.bytes + start);
  if (length < kBlockHeaderSize + 2 || start + length > limit) {
    error = "the version resource's block " + data.Where(start) + " has a length of " + std::to_string(length) +
            " bytes, which does not fit in the " + std::to_string(limit - start) + " bytes its parent leaves";
    return false;
  }
  block.start = start;
  block.end = start + length;
  uint16_t valueLength = ReadU16Le(data.bytes + start + 2);
  block.type = ReadU16Le(data.bytes + start + 4);
  block.key.clear();
  uint64_t at = start + kBlockHeaderSize;
  for (;; at += 2) {
    if (at + 2 > block.end) {
      error = "the version resource's block " + data.Where(start) + " has a key without its terminating NUL";
      return false;
    }
    char16_t c = ReadU16Le(data.bytes + at);
    if (c == 0) break;
    block.key += c;
  }
  block.value = Align4(at + 2);
  block.valueSize = block.type == 1 ? uint64_t{valueLength} * 2 : valueLength;
  if (block.valueSize != 0 && block.value + block.valueSize > block.end) {
    error = "the value of the version resource's block " + data.Where(start) + " (" + std::to_string(block.valueSize) +
            " bytes) runs past the block's end";
    return false;
  }
  block.children = Align4(block.value + block.valueSize);
  return true;
}

bool KeyIs(const std::u16string& key, std::string_view ascii) {
  if (key.size() != ascii.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    char16_t a = key[i], b = static_cast<unsigned char>(ascii[i]);
    if (a >= 'A' && a <= 'Z') a += 'a' - 'A';
    if (b >= 'A' && b <= 'Z') b += 'a' - 'A';
    if (a != b) return false;
  }
  return true;
}

// The first child of parent whose key is key (ASCII, any case), or false
// in found. A child of length 0 ends the list (padding).
bool FindChild(const VersionData& data, const Block& parent, std::string_view key, Block& child, bool& found,
               std::string& error) {
  found = false;
  for (uint64_t at = parent.children; at + kBlockHeaderSize <= parent.end;) {
    if (ReadU16Le(data.bytes + at) == 0) return true;
    if (!ParseBlock(data, at, parent.end, child, error)) return false;
    if (KeyIs(child.key, key)) {
      found = true;
      return true;
    }
    at = Align4(child.end);
  }
  return true;
}

bool ParseVersionInfo(const VersionData& data, PeVersionInfo& info, std::string& error) {
  Block root;
  if (data.size < kBlockHeaderSize + 2) {
    error = "the version resource " + data.Where(0) + " is only " + std::to_string(data.size) + " bytes long";
    return false;
  }
  if (!ParseBlock(data, 0, data.size, root, error)) return false;
  if (!KeyIs(root.key, "VS_VERSION_INFO")) {
    error = "the version resource " + data.Where(0) + " does not begin with a VS_VERSION_INFO block";
    return false;
  }
  const uint8_t* fixed = data.bytes + root.value;
  if (root.valueSize >= kFixedFileInfoSize && ReadU32Le(fixed) == kFixedFileInfoSignature) {
    info.fileVersionMS = ReadU32Le(fixed + 8);
    info.fileVersionLS = ReadU32Le(fixed + 12);
    info.productVersionMS = ReadU32Le(fixed + 16);
    info.productVersionLS = ReadU32Le(fixed + 20);
    info.hasFixedInfo = true;
  }
  Block varFileInfo, translation;
  bool found = false;
  if (!FindChild(data, root, "VarFileInfo", varFileInfo, found, error)) return false;
  if (found && !FindChild(data, varFileInfo, "Translation", translation, found, error)) return false;
  if (found && translation.valueSize >= 2) {
    info.languageId = ReadU16Le(data.bytes + translation.value);
    info.hasTranslation = true;
  }
  return true;
}

}  // namespace

std::optional<PeVersionInfo> ReadPeVersion(const std::vector<uint8_t>& file, std::string& error) {
  PeFile pe;
  pe.bytes = file.data();
  pe.size = file.size();
  if (!ReadHeaders(pe, error)) return std::nullopt;
  uint64_t offset = 0, size = 0;
  if (!FindVersionResource(pe, offset, size, error)) return std::nullopt;
  PeVersionInfo info;
  info.pe32Plus = pe.pe32Plus;
  if (!ParseVersionInfo({file.data() + offset, size, offset}, info, error)) return std::nullopt;
  return info;
}

bool ParseVersionString(std::string_view text, uint32_t& ms, uint32_t& ls, std::string* error) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t count = 0, at = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "version \"" + std::string(text) + "\": " + why;
    return false;
  };
  for (;;) {
    if (count == 4) return fail("has more than four parts");
    size_t digits = 0;
    uint32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
      value = value * 10 + static_cast<uint32_t>(text[at] - '0');
      if (value > 0xFFFF) return fail("part " + std::to_string(count + 1) + " is larger than 65535");
    }
    if (digits == 0) return fail("expected 1 to 4 numbers separated by dots, such as 1.2.3.4");
    parts[count++] = value;
    if (at == text.size()) break;
    if (text[at] != '.') return fail("expected 1 to 4 numbers separated by dots, such as 1.2.3.4");
    ++at;
  }
  ms = parts[0] << 16 | parts[1];
  ls = parts[2] << 16 | parts[3];
  return true;
}
