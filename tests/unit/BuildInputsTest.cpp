// The readers of the publisher's input files: version resources of PE
// images (built by the Windows toolchain at test time, or by hand and then
// damaged), BMP pictures, the background font's LOGFONTA, and file times.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "authoring/Bitmap.h"
#include "authoring/CodePage.h"
#include "authoring/FileTimes.h"
#include "authoring/FontSpec.h"
#include "authoring/PeVersion.h"
#include "setupdata/Format.h"
#include "tests/support/PeTestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace Pe = PeTestFiles;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ---------------------------------------------------------------------------
// Version resources.

// Resource types by name and by id before RT_VERSION; two version names, the
// first in two languages. The reader takes name 1, language 0x407 (the
// lowest id, sorted first), and the first of its two translations. The
// hand-made images below cover the rest of the reader.
const char kManyResourcesScript[] = R"(1 MYTYPE { "named type" }
2 RCDATA { "raw" }
LANGUAGE 0x09, 0x01
1 VERSIONINFO
FILEVERSION 1,2,3,4
BEGIN
END
LANGUAGE 0x07, 0x01
1 VERSIONINFO
FILEVERSION 7,0,0,9
PRODUCTVERSION 0x8000,0,0,1
BEGIN
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x0407, 1252, 0x0409, 1200
  END
END
2 VERSIONINFO
FILEVERSION 9,9,9,9
BEGIN
END
)";

std::optional<PeVersionInfo> BuildAndRead(const char* script) {
  Pe::ToolBuild build = Pe::BuildWithTools(script);
  if (!build.toolsFound) return std::nullopt;
  EXPECT_TRUE(build.built) << build.message;
  std::string error;
  std::optional<PeVersionInfo> info = ReadPeVersion(build.image, error);
  EXPECT_TRUE(info) << error;
  return info;
}

TEST(PeVersionTest, TakesFirstNameAndFirstLanguage) {
  std::optional<PeVersionInfo> info = BuildAndRead(kManyResourcesScript);
  if (!info) GTEST_SKIP() << Pe::BuildWithTools(kManyResourcesScript).message;
  EXPECT_EQ(info->fileVersionMS, 0x00070000u);
  EXPECT_EQ(info->fileVersionLS, 0x00000009u);
  EXPECT_EQ(info->productVersionMS, 0x80000000u);
  EXPECT_EQ(info->languageId, 0x0407u);
  EXPECT_FALSE(info->pe32Plus);
}

TEST(PeVersionTest, ReportsWhatTheResourceHolds) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    struct Case {
      const char* name;
      Pe::VersionFields fields;
      bool fixedInfo, translation;
    } cases[] = {
        {"complete", {}, true, true},
        {"no VarFileInfo", {.language = std::nullopt}, true, false},
        {"no StringFileInfo", {.stringFileInfo = false}, true, true},
        {"no fixed information", {.fixedInfo = false}, false, true},
        {"wrong signature", {.signature = 0xFEEF04BC}, false, true},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      std::string error;
      std::optional<PeVersionInfo> info = ReadPeVersion(Pe::MakePe(pe32Plus, Pe::MakeVersionResource(c.fields)), error);
      ASSERT_TRUE(info) << error;
      EXPECT_EQ(info->pe32Plus, pe32Plus);
      EXPECT_EQ(info->hasFixedInfo, c.fixedInfo);
      EXPECT_EQ(info->fileVersionLS, c.fixedInfo ? 0x00030004u : 0u);
      EXPECT_EQ(info->hasTranslation, c.translation);
      EXPECT_EQ(info->languageId, c.translation ? 0x0409u : 0u);
    }
  }
}

// Every prefix of a valid image is refused with a message, or (when only
// padding was cut) read exactly as the whole image; never read past its end.
TEST(PeVersionTest, RefusesEveryTruncation) {
  Pe::ToolBuild built = Pe::BuildWithTools(kManyResourcesScript);
  std::vector<Bytes> images{Pe::MakePe(true, Pe::MakeVersionResource({}))};
  if (built.built) images.push_back(built.image);
  for (const Bytes& image : images) {
    std::string error;
    std::optional<PeVersionInfo> whole = ReadPeVersion(image, error);
    ASSERT_TRUE(whole) << error;
    for (size_t size = 0; size < image.size(); ++size) {
      Bytes prefix(image.begin(), image.begin() + static_cast<ptrdiff_t>(size));
      error.clear();
      std::optional<PeVersionInfo> info = ReadPeVersion(prefix, error);
      if (info) {
        EXPECT_EQ(info->fileVersionLS, whole->fileVersionLS) << size;
        EXPECT_EQ(info->languageId, whole->languageId) << size;
      } else {
        EXPECT_FALSE(error.empty()) << size;
      }
    }
  }
}

TEST(PeVersionTest, RefusesDamagedImages) {
  const uint32_t pe = Pe::kPeHeaderOffset, res = Pe::kResourceFileOffset;
  const uint32_t directories = Pe::kOptionalHeaderOffset + 96;  // PE32
  const uint32_t version = res + Pe::kVersionData;
  struct Case {
    const char* name;
    std::function<void(uint8_t*)> damage;
    const char* message;
  } cases[] = {
      {"no MZ", [](uint8_t* p) { p[0] = 'X'; }, "no MZ header"},
      {"e_lfanew past the end", [](uint8_t* p) { WriteU32Le(p + 0x3C, 0xFFFFFFF0); },
       "no PE signature at offset 0xFFFFFFF0"},
      {"unknown magic", [&](uint8_t* p) { WriteU16Le(p + Pe::kOptionalHeaderOffset, 0x107); }, "magic 0x107"},
      {"65535 sections", [&](uint8_t* p) { WriteU16Le(p + pe + 6, 0xFFFF); }, "section table (65535 sections"},
      {"no resources", [&](uint8_t* p) { WriteU32Le(p + directories + 16, 0); }, "has no resources"},
      {"resources in no section", [&](uint8_t* p) { WriteU32Le(p + directories + 16, 0x9000); },
       "resource directory (RVA 0x9000) lies in no section"},
      {"section data past the end", [&](uint8_t* p) { WriteU32Le(p + Pe::SectionTableOffset(false) + 20, 0x7FFF0000); },
       "lies past the end of the file"},
      {"no RT_VERSION", [&](uint8_t* p) { WriteU32Le(p + res + 16, 10); },
       "no version resource (no RT_VERSION among its 1"},
      {"65535 types", [&](uint8_t* p) { WriteU16Le(p + res + 14, 0xFFFF); }, "65535 entries run past"},
      {"RT_VERSION to data", [&](uint8_t* p) { WriteU32Le(p + res + 20, Pe::kNameDirectory); },
       "RT_VERSION entry points to data"},
      {"name directory outside", [&](uint8_t* p) { WriteU32Le(p + res + 20, 0xFFFFFFF0); },
       "name directory at resource offset 0x7FFFFFF0 (file offset 0x800001F0) lies outside"},
      {"name loops to the root", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kNameDirectory + 20, 0x80000000); },
       "loop in the resource directory"},
      {"name loops to itself", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kNameDirectory + 20, 0x80000018); },
       "points back to the directory at resource offset 0x18"},
      {"empty language directory", [&](uint8_t* p) { WriteU16Le(p + res + Pe::kLanguageDirectory + 14, 0); },
       "is empty"},
      {"language to a directory", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kLanguageDirectory + 20, 0x80000000); },
       "language entry points to a directory"},
      {"data entry outside", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kLanguageDirectory + 20, 0x7FFFFFFF); },
       "data entry at resource offset 0x7FFFFFFF lies outside"},
      {"data in no section", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kDataEntry, 0x100); }, "lies in no section"},
      {"data of 4 GiB", [&](uint8_t* p) { WriteU32Le(p + res + Pe::kDataEntry + 4, 0xFFFFFFFF); },
       "runs past the data"},
      {"root longer than the data", [&](uint8_t* p) { WriteU16Le(p + version, 0xFFF0); }, "length of 65520 bytes"},
      {"root key", [&](uint8_t* p) { p[version + 6] = 'W'; }, "does not begin with a VS_VERSION_INFO"},
      {"child runs past the root", [&](uint8_t* p) { WriteU16Le(p + version + 92, 0x7000); },
       "block at file offset 0x2B4 has a length"},
  };
  Bytes good = Pe::MakePe(false, Pe::MakeVersionResource({}));
  // A section's extent is its VirtualSize, or its raw size where that is 0.
  Bytes noVirtualSize = good, shortVirtualSize = good;
  WriteU32Le(&noVirtualSize[Pe::SectionTableOffset(false) + 8], 0);
  WriteU32Le(&shortVirtualSize[Pe::SectionTableOffset(false) + 8], Pe::kVersionData);
  std::string error;
  EXPECT_TRUE(ReadPeVersion(noVirtualSize, error)) << error;
  EXPECT_FALSE(ReadPeVersion(shortVirtualSize, error));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = good;
    c.damage(image.data());
    std::string error;
    EXPECT_FALSE(ReadPeVersion(image, error));
    EXPECT_TRUE(Contains(error, c.message)) << error;
  }
}

TEST(PeVersionTest, ParsesVersionStrings) {
  struct {
    const char* text;
    uint32_t ms, ls;
  } good[] = {{"1", 0x00010000, 0},
              {"1.2", 0x00010002, 0},
              {"1.2.3", 0x00010002, 0x00030000},
              {"65535.0.007.65535", 0xFFFF0000, 0x0007FFFF}};
  for (const auto& g : good) {
    uint32_t ms = 1, ls = 1;
    EXPECT_TRUE(ParseVersionString(g.text, ms, ls)) << g.text;
    EXPECT_EQ(ms, g.ms) << g.text;
    EXPECT_EQ(ls, g.ls) << g.text;
  }
  for (const char* bad :
       {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.-2", " 1", "1.2a", "+1", "99999999999999999999"}) {
    uint32_t ms, ls;
    std::string error;
    EXPECT_FALSE(ParseVersionString(bad, ms, ls, &error)) << bad;
    EXPECT_TRUE(Contains(error, std::string("\"") + bad + "\"")) << error;
  }
}

// ---------------------------------------------------------------------------
// Pictures.

struct BmpShape {
  uint16_t bits = 24;
  int32_t width = 3, height = 2;
  uint32_t coloursUsed = 0;
  uint32_t headerSize = 40;
  uint32_t gap = 0;  // bytes between the colour table and the pixels
  uint32_t compression = 0;
  int32_t missing = 0;  // bytes cut from the end of the pixels
};

Bytes MakeBmp(const BmpShape& s) {
  uint32_t colours = s.coloursUsed != 0 ? s.coloursUsed : s.bits <= 8 ? 1u << s.bits : 0;
  uint32_t offset = 14 + s.headerSize + 4 * colours + s.gap;
  uint32_t rowBytes = (static_cast<uint32_t>(s.width) * s.bits + 31) / 32 * 4;
  uint32_t size = offset + rowBytes * static_cast<uint32_t>(abs(s.height)) - s.missing;
  Bytes bmp(size, 0x5A);
  bmp[0] = 'B', bmp[1] = 'M';
  WriteU32Le(&bmp[2], size);
  WriteU32Le(&bmp[10], offset);
  std::fill(bmp.begin() + 14, bmp.begin() + 14 + s.headerSize, 0);
  WriteU32Le(&bmp[14], s.headerSize);
  WriteU32Le(&bmp[18], static_cast<uint32_t>(s.width));
  WriteU32Le(&bmp[22], static_cast<uint32_t>(s.height));
  WriteU16Le(&bmp[26], 1);
  WriteU16Le(&bmp[28], s.bits);
  WriteU32Le(&bmp[30], s.compression);
  WriteU32Le(&bmp[46], s.coloursUsed);
  return bmp;
}

// Each depth, bottom-up and top-down, at widths whose rows need padding;
// one byte less of pixels is refused.
TEST(BitmapTest, AcceptsEachDepth) {
  for (uint16_t bits : {1, 4, 8, 16, 24}) {
    for (int32_t height : {2, -2}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, height " + std::to_string(height));
      BmpShape shape{.bits = bits, .width = bits == 8 ? 300 : 33, .height = height};
      PictureInfo info;
      std::string error;
      EXPECT_TRUE(CheckSetupBitmap(MakeBmp(shape), info, error)) << error;
      uint32_t table = bits <= 8 ? 4u << bits : 0;
      uint32_t rowBytes = bits == 1 ? 8 : bits == 4 ? 20 : bits == 8 ? 300 : bits == 16 ? 68 : 100;
      EXPECT_EQ(info.colourTableSize, table);
      EXPECT_EQ(info.pixelOffset, 54 + table);
      EXPECT_EQ(info.pixelSize, 2 * rowBytes);
      shape.missing = 1;
      EXPECT_FALSE(CheckSetupBitmap(MakeBmp(shape), error));
      EXPECT_TRUE(Contains(error, "pixels are incomplete")) << error;
    }
  }
  PictureInfo info;
  std::string error;
  EXPECT_TRUE(CheckSetupBitmap(MakeBmp({.bits = 4, .coloursUsed = 3}), info, error)) << error;
  EXPECT_EQ(info.pixelOffset, 54u + 12);
  EXPECT_TRUE(CheckSetupBitmap(MakeBmp({.bits = 16, .coloursUsed = 16}), info, error)) << error;
  EXPECT_EQ(info.pixelOffset, 54u + 64);
}

TEST(BitmapTest, RefusesWhatTheSetupCannotDraw) {
  struct {
    const char* name;
    Bytes bmp;
    const char* message;
  } cases[] = {
      {"32 bits", MakeBmp({.bits = 32}), "32 bits per pixel"},
      {"V4 header", MakeBmp({.headerSize = 108}), "108 bytes long (a BITMAPV4HEADER)"},
      {"V5 header", MakeBmp({.headerSize = 124}), "124 bytes long (a BITMAPV5HEADER)"},
      {"RLE8", MakeBmp({.bits = 8, .compression = 1}), "BI_RLE8"},
      {"bit fields", MakeBmp({.bits = 16, .compression = 3}), "BI_BITFIELDS"},
      {"gap", MakeBmp({.gap = 2}), "a gap of 2 bytes before its pixels"},
      {"gap after a table", MakeBmp({.bits = 4, .gap = 1000}), "a gap of 1000 bytes before its pixels"},
      {"too many colours", MakeBmp({.bits = 4, .coloursUsed = 17}), "17 colours"},
      {"width 0", MakeBmp({.width = 0}), "size 0 x 2"},
      {"width 4097", MakeBmp({.width = 4097}), "size 4097 x 2"},
      {"short 8-bit table", MakeBmp({.bits = 8, .width = 1, .height = 1, .coloursUsed = 2}), "full 256-colour"},
      {"not BM", Bytes{'P', 'K', 3, 4}, "not a BMP file"},
      {"headers cut", Bytes(40, 0), "ends inside its information header"},
      {"offset in the table", MakeBmp({.bits = 4}), ""},
      {"height INT_MIN", MakeBmp({}), ""},
      {"two planes", MakeBmp({}), ""},
  };
  std::copy_n(MakeBmp({}).begin(), 40, cases[12].bmp.begin());
  WriteU32Le(&cases[13].bmp[10], 54);          // pixels inside the colour table
  WriteU32Le(&cases[14].bmp[22], 0x80000000);  // height INT_MIN
  WriteU16Le(&cases[15].bmp[26], 2);           // two planes
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(CheckSetupBitmap(c.bmp, error));
    EXPECT_TRUE(Contains(error, c.message) && !error.empty()) << error;
  }
}

// ---------------------------------------------------------------------------
// Code pages: the edges of valid UTF-8 around the surrogates and the top.

TEST(CodePageTest, SetupEncodingRefusesSurrogatesAndOverlongForms) {
  std::string out;
  CodePageProblem problem;
  for (const char* good : {"\xED\x9F\xBF", "\xEE\x80\x80", "\xF4\x8F\xBF\xBF", "\xC2\xA0"})
    EXPECT_TRUE(ToSetupEncoding(good, true, out, problem)) << problem.message;
  for (const char* bad : {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xC1\xBF", "\xE0\x9F\xBF"})
    EXPECT_FALSE(ToSetupEncoding(bad, true, out, problem)) << bad;
}

// ---------------------------------------------------------------------------
// Font.

TEST(FontSpecTest, LaysOutLogFontA) {
  Bytes font;
  std::string error;
  ASSERT_TRUE(BuildLogFont("Arial", -48, 700, true, font, error)) << error;
  // lfHeight -48, lfWeight 700, lfItalic, lfCharSet DEFAULT_CHARSET (1), lfFaceName at 28; the rest 0.
  Bytes expected(60, 0);
  WriteU32Le(&expected[0], static_cast<uint32_t>(-48));
  WriteU32Le(&expected[16], 700);
  expected[20] = expected[23] = 1;
  memcpy(&expected[28], "Arial", 5);
  EXPECT_EQ(font, expected);

  std::string face31(31, 'x');
  ASSERT_TRUE(BuildLogFont(face31, 0, 0, false, font, error)) << error;
  EXPECT_EQ(font[59], 0);  // the face's NUL fits
  EXPECT_EQ(font[20], 0);
  struct {
    std::string face;
    int32_t height, weight;
    const char* message;
  } bad[] = {{face31 + "x", 0, 400, "32 bytes long"},
             {"Tab\tFace", 0, 400, "control character"},
             {"Arial", 0, 1001, "weight 1001"},
             {"Arial", 0, -1, "weight -1"},
             {"Arial", -16385, 400, "height -16385"}};
  for (const auto& b : bad) {
    EXPECT_FALSE(BuildLogFont(b.face, b.height, b.weight, false, font, error));
    EXPECT_TRUE(Contains(error, b.message)) << error;
  }
}

// ---------------------------------------------------------------------------
// Times.

uint64_t ViaTimegm(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second;
  return static_cast<uint64_t>(timegm(&t) + kUnixEpochSeconds) * kFileTimeTicksPerSecond;
}

TEST(FileTimesTest, ParsesUtcDateTimes) {
  struct {
    const char* text;
    uint64_t fileTime;
  } cases[] = {
      {"1970-01-01T00:00:00Z", 116444736000000000ull},
      {"1601-01-01T00:00:00Z", 0},
      {"1601-01-01t00:00:00.0000001z", 1},
      {"2026-01-31T12:00:00.25Z", ViaTimegm(2026, 1, 31, 12, 0, 0) + 2500000},
      {"2026-01-31T12:00:00.123456789Z", ViaTimegm(2026, 1, 31, 12, 0, 0) + 1234567},
      {"2000-02-29T23:59:59Z", ViaTimegm(2000, 2, 29, 23, 59, 59)},
      {"2100-03-01T00:00:00Z", ViaTimegm(2100, 3, 1, 0, 0, 0)},
      {"1969-12-31T23:59:59Z", ViaTimegm(1969, 12, 31, 23, 59, 59)},
      {"9999-12-31T23:59:59Z", ViaTimegm(9999, 12, 31, 23, 59, 59)},
  };
  for (const auto& c : cases) {
    uint64_t fileTime = 0;
    std::string error;
    EXPECT_TRUE(ParseFileTime(c.text, fileTime, error)) << error;
    EXPECT_EQ(fileTime, c.fileTime) << c.text;
  }
  struct {
    const char* text;
    const char* message;
  } bad[] = {{"2026-01-31T12:00:00+02:00", "UTC offset"},
             {"2026-02-29T00:00:00Z", "no day 29"},
             {"2100-02-29T00:00:00Z", "no day 29"},
             {"2026-13-01T00:00:00Z", "no month 13"},
             {"1600-12-31T23:59:59Z", "before 1601"},
             {"2016-12-31T23:59:60Z", "leap second"},
             {"2026-01-31T24:00:00Z", "time of day"}};
  for (const auto& b : bad) {
    uint64_t fileTime;
    std::string error;
    EXPECT_FALSE(ParseFileTime(b.text, fileTime, error)) << b.text;
    EXPECT_TRUE(Contains(error, b.message)) << error;
  }
  for (const char* text : {"2026-01-31T12:00:00", "2026-01-31", "2026-01-31 12:00:00Z", "2026-1-31T12:00:00Z",
                           "2026-01-31T12:00:00.Z", "2026-01-31T12:00:00Zx", ""}) {
    uint64_t fileTime;
    std::string error;
    EXPECT_FALSE(ParseFileTime(text, fileTime, error)) << text;
    EXPECT_TRUE(Contains(error, "expected YYYY")) << error;
  }
}

// Restores SOURCE_DATE_EPOCH as it was when the test began.
class SourceDateEpochGuard {
 public:
  SourceDateEpochGuard() {
    const char* value = getenv("SOURCE_DATE_EPOCH");
    if (value != nullptr) saved = value;
  }
  ~SourceDateEpochGuard() {
    if (saved)
      setenv("SOURCE_DATE_EPOCH", saved->c_str(), 1);
    else
      unsetenv("SOURCE_DATE_EPOCH");
  }

 private:
  std::optional<std::string> saved;
};

TEST(FileTimesTest, TakesTimesFromFilesClampedToSourceDateEpoch) {
  SourceDateEpochGuard guard;
  char path[] = "/tmp/setvik-times-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const struct timespec times[2] = {{1000000000, 500}, {1200000000, 123456789}};  // access, modification
  ASSERT_EQ(futimens(fd, times), 0);
  close(fd);
  const uint64_t access = ViaTimegm(2001, 9, 9, 1, 46, 40) + 5;
  const uint64_t write = ViaTimegm(2008, 1, 10, 21, 20, 0) + 1234567;

  unsetenv("SOURCE_DATE_EPOCH");
  std::string error;
  std::optional<FileTimes> read = ReadSourceFileTimes(path, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->lastAccessTime, access);
  EXPECT_EQ(read->lastWriteTime, write);
  EXPECT_EQ(read->creationTime, write);

  setenv("SOURCE_DATE_EPOCH", "1100000000", 1);  // between the two
  read = ReadSourceFileTimes(path, error);
  ASSERT_TRUE(read) << error;
  const uint64_t epoch = (1100000000 + kUnixEpochSeconds) * kFileTimeTicksPerSecond;
  EXPECT_EQ(read->lastAccessTime, access);
  EXPECT_EQ(read->lastWriteTime, epoch);
  EXPECT_EQ(read->creationTime, epoch);

  setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
  EXPECT_FALSE(ReadSourceFileTimes(path, error));
  EXPECT_TRUE(Contains(error, "SOURCE_DATE_EPOCH is \"yesterday\"")) << error;
  unlink(path);
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_FALSE(ReadSourceFileTimes(path, error));
  EXPECT_TRUE(Contains(error, std::string(path) + ": cannot read its times")) << error;
}

}  // namespace
