// The background title's font: the 60-byte LOGFONTA that the setup program
// hands to CreateFontIndirectA, built from the few settings a publisher
// gives (face, height, weight, italic) and defaults for the rest.
//
//   0  i32 lfHeight       20 u8 lfItalic          24 u8 lfOutPrecision
//   4  i32 lfWidth        21 u8 lfUnderline       25 u8 lfClipPrecision
//   8  i32 lfEscapement   22 u8 lfStrikeOut       26 u8 lfQuality
//  12  i32 lfOrientation  23 u8 lfCharSet         27 u8 lfPitchAndFamily
//  16  i32 lfWeight                               28 char lfFaceName[32]
//
// Little-endian, no padding. The defaults: width, escapement and orientation
// 0, no underline or strike-out, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
// CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace LogFontField {
const uint32_t height = 0;
const uint32_t width = 4;
const uint32_t escapement = 8;
const uint32_t orientation = 12;
const uint32_t weight = 16;
const uint32_t italic = 20;
const uint32_t underline = 21;
const uint32_t strikeOut = 22;
const uint32_t charSet = 23;
const uint32_t outPrecision = 24;
const uint32_t clipPrecision = 25;
const uint32_t quality = 26;
const uint32_t pitchAndFamily = 27;
const uint32_t faceName = 28;
}  // namespace LogFontField

const uint32_t kLogFontFaceSize = 32;  // LF_FACESIZE, the NUL included
const uint32_t kLogFontSize = LogFontField::faceName + kLogFontFaceSize;

// face: at most 31 bytes in the setup's code page, no control characters
// ("" lets the system choose); height: as lfHeight, negative for the
// character height and positive for the cell height in pixels, 0 for the
// default, at most 16384 either way; weight 0 to 1000 (400 normal, 700 bold).
// False with a message naming the setting that is out of range.
bool BuildLogFont(const std::string& face, int32_t height, int32_t weight, bool italic, std::vector<uint8_t>& font,
                  std::string& error);
