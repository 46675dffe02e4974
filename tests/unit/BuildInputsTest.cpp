// The readers of the publisher's input files: version resources of PE
// images (made by hand and then damaged; fuzz_peversion tries the rest; what
// a good one holds is BuildTest's), BMP pictures, and file times.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <functional>

#include "authoring/Bitmap.h"
#include "authoring/CodePage.h"
#include "authoring/FileTimes.h"
#include "authoring/PeVersion.h"
#include "setupdata/Format.h"
#include "tests/support/PeTestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace Pe = PeTestFiles;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PeVersionTest, RefusesDamagedImages) {
  const uint32_t pe = Pe::kPeHeaderOffset, res = Pe::kResourceFileOffset, version = res + Pe::kVersionData;
  const uint32_t directories = Pe::kOptionalHeaderOffset + 96, section = Pe::SectionTableOffset(false);
  auto u16 = [](uint32_t at, uint16_t v) { return [=](uint8_t* p) { WriteU16Le(p + at, v); }; };
  auto u32 = [](uint32_t at, uint32_t v) { return [=](uint8_t* p) { WriteU32Le(p + at, v); }; };
  const struct {
    std::function<void(uint8_t*)> damage;
    const char* message;
  } cases[] = {
      {u16(0, 'X'), "no MZ header"},
      {u32(0x3C, 0xFFFFFFF0), "no PE signature at offset 0xFFFFFFF0"},
      {u16(pe + 6, 0xFFFF), "section table (65535 sections"},
      {u32(directories + 16, 0), "has no resources"},
      {u32(section + 20, 0x7FFF0000), "lies past the end of the file"},
      {u32(res + 16, 10), "no version resource (no RT_VERSION among its 1"},
      {u32(res + 20, Pe::kNameDirectory), "RT_VERSION entry points to data"},
      {u32(res + 20, 0xFFFFFFF0), "name directory at resource offset 0x7FFFFFF0 (file offset 0x800001F0) lies outside"},
      {u32(res + Pe::kNameDirectory + 20, 0x80000000), "loop in the resource directory"},
      {u32(res + Pe::kLanguageDirectory + 20, 0x80000000), "language entry points to a directory"},
      {u32(res + Pe::kLanguageDirectory + 20, 0x7FFFFFFF), "data entry at resource offset 0x7FFFFFFF lies outside"},
      {u32(res + Pe::kDataEntry + 4, 0xFFFFFFFF), "runs past the data"},
      {u16(version, 0xFFF0), "length of 65520 bytes"},
      {u16(version + 92, 0x7000), "block at file offset 0x2B4 has a length"},
  };
  const Bytes good = Pe::MakePe(false, Pe::MakeVersionResource());
  std::string error;
  for (const auto& c : cases) {
    Bytes image = good;
    c.damage(image.data());
    EXPECT_FALSE(ReadPeVersion(image, error)) << c.message;
    EXPECT_TRUE(Contains(error, c.message)) << error;
  }
  // A section whose virtual size is left 0, as older linkers do, spans its
  // raw data.
  Bytes image = good;
  WriteU32Le(&image[Pe::SectionTableOffset(false) + 8], 0);
  EXPECT_TRUE(ReadPeVersion(image, error)) << error;
}

struct BmpShape {
  uint16_t bits = 24;
  int32_t width = 3, height = 2;
  uint32_t coloursUsed = 0, headerSize = 40;
  uint32_t gap = 0;  // bytes between the colour table and the pixels
  uint32_t compression = 0;
  int32_t missing = 0;  // bytes cut from the end of the pixels
};

Bytes MakeBmp(const BmpShape& s) {
  const uint32_t colours = s.coloursUsed != 0 ? s.coloursUsed : s.bits <= 8 ? 1u << s.bits : 0;
  const uint32_t offset = 14 + s.headerSize + 4 * colours + s.gap;
  const uint32_t size = offset + (uint32_t(s.width) * s.bits + 31) / 32 * 4 * uint32_t(abs(s.height)) - s.missing;
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

// Each depth the setup draws, at a width whose rows need padding, and what
// it cannot draw.
TEST(BitmapTest, AcceptsEachDepthAndRefusesWhatTheSetupCannotDraw) {
  for (uint16_t bits : {1, 4, 8, 16, 24}) {
    std::string error;
    EXPECT_TRUE(CheckSetupBitmap(MakeBmp({.bits = bits, .width = 33, .height = -2}), error)) << bits << error;
  }
  struct {
    Bytes bmp;
    const char* message;
  } cases[] = {
      {MakeBmp({.bits = 32}), "32 bits per pixel"},
      {MakeBmp({.headerSize = 108}), "108 bytes long (a BITMAPV4HEADER)"},
      {MakeBmp({.bits = 8, .compression = 1}), "BI_RLE8"},
      {MakeBmp({.gap = 2}), "a gap of 2 bytes before its pixels"},
      {MakeBmp({.bits = 4, .coloursUsed = 17}), "17 colours"},
      {MakeBmp({.width = 0}), "size 0 x 2"},
      {MakeBmp({.bits = 8, .width = 300, .missing = 1}), "pixels are incomplete"},
      {MakeBmp({.bits = 8, .width = 1, .height = 1, .coloursUsed = 2}), "full 256-colour"},
      {Bytes{'P', 'K', 3, 4}, "not a BMP file"},
      {Bytes(40, 0), "ends inside its information header"},
      {MakeBmp({.bits = 4}), ""},  // pixels inside the colour table
      {MakeBmp({}), ""},           // height INT_MIN
      {MakeBmp({}), ""},           // two planes
  };
  std::copy_n(MakeBmp({}).begin(), 40, cases[9].bmp.begin());
  WriteU32Le(&cases[10].bmp[10], 54);
  WriteU32Le(&cases[11].bmp[22], 0x80000000);
  WriteU16Le(&cases[12].bmp[26], 2);
  for (auto& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckSetupBitmap(c.bmp, error)) << c.message;
    EXPECT_TRUE(Contains(error, c.message) && !error.empty()) << error;
  }
}

// The edges of valid UTF-8 around the surrogates and the top.
TEST(CodePageTest, SetupEncodingRefusesSurrogatesAndOverlongForms) {
  std::string out;
  CodePageProblem problem;
  for (const char* good : {"\xED\x9F\xBF", "\xEE\x80\x80", "\xF4\x8F\xBF\xBF", "\xC2\xA0"})
    EXPECT_TRUE(ToSetupEncoding(good, true, out, problem)) << problem.message;
  for (const char* bad : {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xC1\xBF", "\xE0\x9F\xBF"})
    EXPECT_FALSE(ToSetupEncoding(bad, true, out, problem)) << bad;
}

uint64_t ViaTimegm(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second;
  return static_cast<uint64_t>(timegm(&t) + kUnixEpochSeconds) * kFileTimeTicksPerSecond;
}

TEST(FileTimesTest, ParsesUtcDateTimes) {
  const struct {
    const char* text;
    uint64_t fileTime;
  } cases[] = {
      {"1970-01-01T00:00:00Z", 116444736000000000ull},
      {"1601-01-01t00:00:00.0000001z", 1},
      {"2026-01-31T12:00:00.123456789Z", ViaTimegm(2026, 1, 31, 12, 0, 0) + 1234567},
      {"2000-02-29T23:59:59Z", ViaTimegm(2000, 2, 29, 23, 59, 59)},
      {"9999-12-31T23:59:59Z", ViaTimegm(9999, 12, 31, 23, 59, 59)},
  };
  for (const auto& c : cases) {
    uint64_t fileTime = 0;
    std::string error;
    EXPECT_TRUE(ParseFileTime(c.text, fileTime, error)) << error;
    EXPECT_EQ(fileTime, c.fileTime) << c.text;
  }
  const std::pair<const char*, const char*> bad[] = {
      {"2026-01-31T12:00:00+02:00", "UTC offset"}, {"2100-02-29T00:00:00Z", "no day 29"},
      {"2026-13-01T00:00:00Z", "no month 13"},     {"1600-12-31T23:59:59Z", "before 1601"},
      {"2016-12-31T23:59:60Z", "leap second"},     {"2026-01-31T24:00:00Z", "time of day"},
      {"2026-01-31 12:00:00Z", "expected YYYY"},   {"2026-01-31T12:00:00.Z", "expected YYYY"}};
  for (const auto& [text, message] : bad) {
    uint64_t fileTime;
    std::string error;
    EXPECT_FALSE(ParseFileTime(text, fileTime, error)) << text;
    EXPECT_TRUE(Contains(error, message)) << error;
  }
}

}  // namespace
