// PE images with version resources, made by the toolchain or by hand.
#include "tests/support/PeTestFiles.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "setupdata/Format.h"

namespace PeTestFiles {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string FindOnPath(const std::string& name) {
  FILE* pipe = popen(("command -v '" + name + "' 2>/dev/null").c_str(), "r");
  char found[4096] = {};
  const bool ok = fgets(found, sizeof found, pipe) != nullptr;
  pclose(pipe);
  return ok ? std::string(found, strcspn(found, "\n")) : "";
}

// Runs program with args in folder; its output goes into log. True when it
// ran and exited with 0.
bool Run(const std::string& program, const std::vector<std::string>& args, const fs::path& folder, std::string& log) {
  std::string command = "cd '" + folder.string() + "' && '" + program + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  const int status = system((command + " </dev/null >tool.log 2>&1").c_str());
  std::ifstream in(folder / "tool.log");
  log += program + ":\n" + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// folder/version.rc into folder/image.dll, an i686 DLL without code.
bool Link(const std::string& windres, const std::string& gcc, const fs::path& folder, std::string& log) {
  const std::string object = (folder / "version.o").string();
  return Run(windres, {"-i", (folder / "version.rc").string(), "-o", object}, folder, log) &&
         Run(gcc, {"-nostdlib", "-shared", "-Wl,--entry=0", "-o", (folder / "image.dll").string(), object}, folder, log);
}

// One block of a version resource: wLength, wValueLength, wType, key,
// padding, value, padding, children. valueLength counts bytes, or 16-bit
// characters when type is 1. Blocks start 4-aligned, so aligning within the
// block aligns within the resource.
struct Block {
  std::u16string key;
  uint16_t type = 0;
  Bytes value;
  uint16_t valueLength = 0;
  std::vector<Block> children;
};

Bytes Write(const Block& block) {
  Bytes out;
  Put16(out, 0);  // wLength, set below
  Put16(out, block.valueLength);
  Put16(out, block.type);
  for (char16_t c : block.key) Put16(out, c);
  Put16(out, 0);
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
  for (char16_t c : text) Put16(block.value, c);
  Put16(block.value, 0);
  return block;
}

}  // namespace

ToolBuild BuildWithTools(const std::string& resourceScript) {
  ToolBuild build;
  const std::string windres = FindOnPath("i686-w64-mingw32-windres"), gcc = FindOnPath("i686-w64-mingw32-gcc");
  if (windres.empty() || gcc.empty()) {
    build.message = "i686-w64-mingw32-windres or -gcc is not on PATH (Debian packages gcc-mingw-w64-i686, "
                    "binutils-mingw-w64-i686)";
    return build;
  }
  build.toolsFound = true;
  std::string pattern = (fs::temp_directory_path() / "setvik-pe-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    build.message = "cannot make a temporary folder";
    return build;
  }
  fs::path folder = pattern;
  std::ofstream(folder / "version.rc") << resourceScript;
  build.built = Link(windres, gcc, folder, build.message);
  std::ifstream in(folder / "image.dll", std::ios::binary);
  build.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  build.built = build.built && !build.image.empty();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return build;
}

std::vector<uint8_t> MakeVersionResource(const VersionFields& fields) {
  Block root{u"VS_VERSION_INFO", 0, {}, 0, {}};
  if (fields.fixedInfo) {
    for (uint32_t v : {fields.signature, 0x00010000u, fields.fileMS, fields.fileLS, fields.productMS, fields.productLS,
                       0x3Fu, 0u, 0x40004u, 2u, 0u, 0u, 0u}) {
      Put32(root.value, v);
    }
    root.valueLength = static_cast<uint16_t>(root.value.size());
  }
  if (fields.stringFileInfo) {
    Block table{
        u"040904B0", 1, {}, 0, {TextValue(u"FileDescription", u"Setvik test"), TextValue(u"FileVersion", u"1.2")}};
    root.children.push_back({u"StringFileInfo", 1, {}, 0, {table}});
  }
  if (fields.language) {
    Block translation{u"Translation", 0, {}, 4, {}};
    Put16(translation.value, *fields.language);
    Put16(translation.value, fields.codePage);
    root.children.push_back({u"VarFileInfo", 1, {}, 0, {translation}});
  }
  return Write(root);
}

uint32_t SectionTableOffset(bool pe32Plus) { return kOptionalHeaderOffset + (pe32Plus ? 240 : 224); }

std::vector<uint8_t> MakePe(bool pe32Plus, const std::vector<uint8_t>& versionResource) {
  uint32_t resourceSize = kVersionData + static_cast<uint32_t>(versionResource.size());
  uint32_t rawSize = (resourceSize + 0x1FF) & ~0x1FFu;
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
  WriteU32Le(directories + 2 * 8, kResourceRva);
  WriteU32Le(directories + 2 * 8 + 4, resourceSize);
  uint8_t* section = &pe[SectionTableOffset(pe32Plus)];
  memcpy(section, ".rsrc", 5);
  WriteU32Le(section + 8, resourceSize);  // VirtualSize
  WriteU32Le(section + 12, kResourceRva);
  WriteU32Le(section + 16, rawSize);
  WriteU32Le(section + 20, kResourceFileOffset);
  uint8_t* resources = &pe[kResourceFileOffset];
  const uint32_t tree[][3] = {{kTypeDirectory, 16, 0x80000000 | kNameDirectory},
                              {kNameDirectory, 1, 0x80000000 | kLanguageDirectory},
                              {kLanguageDirectory, 0x409, kDataEntry}};
  for (const auto& directory : tree) {
    WriteU16Le(resources + directory[0] + 14, 1);  // one id entry
    WriteU32Le(resources + directory[0] + 16, directory[1]);
    WriteU32Le(resources + directory[0] + 20, directory[2]);
  }
  WriteU32Le(resources + kDataEntry, kResourceRva + kVersionData);
  WriteU32Le(resources + kDataEntry + 4, static_cast<uint32_t>(versionResource.size()));
  memcpy(resources + kVersionData, versionResource.data(), versionResource.size());
  return pe;
}

uint32_t CertificateSizeOffset(bool pe32Plus) { return kOptionalHeaderOffset + (pe32Plus ? 112 : 96) + 4 * 8 + 4; }

void AppendCertificateTable(std::vector<uint8_t>& file, bool pe32Plus, uint32_t padding, uint32_t tableSize) {
  file.insert(file.end(), padding, 0);
  const uint32_t tableAt = static_cast<uint32_t>(file.size());
  file.insert(file.end(), tableSize, 0x5A);
  WriteU32Le(&file[CertificateSizeOffset(pe32Plus) - 4], tableAt);
  WriteU32Le(&file[CertificateSizeOffset(pe32Plus)], tableSize);
}

}  // namespace PeTestFiles
