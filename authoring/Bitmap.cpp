// Checking a BMP file for use as a setup picture. The fields read:
//
//   0   "BM"                     14  u32 biSize (must be 40)
//   10  u32 bfOffBits            18  i32 biWidth, 22 i32 biHeight
//                                26  u16 biPlanes, 28 u16 biBitCount
//                                30  u32 biCompression, 46 u32 biClrUsed
//
// Every limit the painting code relies on is one check below, in the order
// the fields come; the first that fails gives the message.
#include "authoring/Bitmap.h"

#include "setupdata/Format.h"

namespace {

const uint32_t kFileHeaderSize = 14;
const uint32_t kInfoHeaderSize = 40;
const uint32_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
const uint32_t kPaletteBytes = 256 * 4;  // read for every 8-bit picture

const char* InfoHeaderName(uint32_t size) {
  switch (size) {
    case 12: return " (an OS/2 BITMAPCOREHEADER)";
    case 52: return " (a BITMAPV2INFOHEADER)";
    case 56: return " (a BITMAPV3INFOHEADER)";
    case 64: return " (an OS/2 2.x header)";
    case 108: return " (a BITMAPV4HEADER)";
    case 124: return " (a BITMAPV5HEADER)";
    default: return "";
  }
}

const char* CompressionName(uint32_t compression) {
  switch (compression) {
    case 1: return "BI_RLE8";
    case 2: return "BI_RLE4";
    case 3: return "BI_BITFIELDS";
    case 4: return "BI_JPEG";
    case 5: return "BI_PNG";
    default: return "an unknown compression";
  }
}

std::string Number(uint64_t value) { return std::to_string(value); }

bool CheckHeaders(const std::vector<uint8_t>& file, std::string& error) {
  if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') {
    error = "not a BMP file: no \"BM\" file header at offset 0";
    return false;
  }
  if (file.size() < kFileHeaderSize + 4) {
    error = "the BMP file ends inside its information header (" + Number(file.size()) + " bytes)";
    return false;
  }
  uint32_t infoSize = ReadU32Le(&file[14]);
  if (infoSize != kInfoHeaderSize) {
    error = "its information header is " + Number(infoSize) + " bytes long" + InfoHeaderName(infoSize) +
            " (biSize at offset 14); the setup reads the colour table and the pixels right after a 40-byte "
            "BITMAPINFOHEADER, so save the picture as a Windows 3.x BMP (for example ImageMagick's BMP3: format)";
    return false;
  }
  if (file.size() < kHeadersSize) {
    error = "the BMP file ends inside its information header (" + Number(file.size()) + " bytes of 54)";
    return false;
  }
  return true;
}

bool CheckFormat(const std::vector<uint8_t>& file, PictureInfo& info, std::string& error) {
  uint16_t planes = ReadU16Le(&file[26]);
  if (planes != 1) {
    error = "biPlanes (offset 26) is " + Number(planes) + "; a BMP file has 1 plane";
    return false;
  }
  info.bitCount = ReadU16Le(&file[28]);
  uint16_t bits = info.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24) {
    error = "it has " + Number(bits) + " bits per pixel (biBitCount at offset 28); the setup shows pictures of " +
            "1, 4, 8, 16 and 24 bits per pixel" + (bits == 32 ? ": save it as 24-bit" : "");
    return false;
  }
  uint32_t compression = ReadU32Le(&file[30]);
  if (compression != 0) {
    error = std::string("it is compressed with ") + CompressionName(compression) + " (biCompression " +
            Number(compression) + " at offset 30); the setup shows uncompressed (BI_RGB) pictures only" +
            (compression == 3 ? ": save a 16-bit picture as 5-5-5 without colour masks, or as 24-bit" : "");
    return false;
  }
  info.width = static_cast<int32_t>(ReadU32Le(&file[18]));
  info.height = static_cast<int32_t>(ReadU32Le(&file[22]));
  int64_t rows = info.height < 0 ? -int64_t{info.height} : info.height;
  if (info.width < 1 || info.width > int32_t{kPictureMaxSide} || rows < 1 || rows > kPictureMaxSide) {
    error = "its size " + std::to_string(info.width) + " x " + std::to_string(info.height) +
            " (offsets 18 and 22) is outside 1 to 4096 pixels each way";
    return false;
  }
  return true;
}

bool CheckLayout(const std::vector<uint8_t>& file, PictureInfo& info, std::string& error) {
  uint32_t bits = info.bitCount;
  uint32_t coloursUsed = ReadU32Le(&file[46]);
  uint32_t maxColours = bits <= 8 ? 1u << bits : 256;
  if (coloursUsed > maxColours) {
    error = "biClrUsed (offset 46) says " + Number(coloursUsed) + " colours, more than the " + Number(maxColours) +
            " a " + Number(bits) + "-bit picture can have";
    return false;
  }
  info.colourTableSize = 4 * (coloursUsed != 0 ? coloursUsed : bits <= 8 ? maxColours : 0);
  info.pixelOffset = kHeadersSize + info.colourTableSize;
  uint32_t named = ReadU32Le(&file[10]);
  if (named > info.pixelOffset) {
    error = "the picture has a gap of " + Number(named - info.pixelOffset) +
            " bytes before its pixels (bfOffBits at offset 10 is " + Number(named) + ", the colour table ends at " +
            Number(info.pixelOffset) + "); the setup reads the pixels right after the colour table, so save it " +
            "without the gap";
    return false;
  }
  if (named < info.pixelOffset) {
    error = "bfOffBits (offset 10) is " + Number(named) + ", inside the headers and colour table, which end at " +
            Number(info.pixelOffset);
    return false;
  }
  uint64_t rowBytes = (uint64_t{static_cast<uint32_t>(info.width)} * bits + 31) / 32 * 4;
  uint64_t rows = static_cast<uint64_t>(info.height < 0 ? -int64_t{info.height} : info.height);
  uint64_t pixelSize = rowBytes * rows;
  if (file.size() < info.pixelOffset || file.size() - info.pixelOffset < pixelSize) {
    error = "its pixels are incomplete: " + std::to_string(info.width) + " x " + Number(rows) + " at " + Number(bits) +
            " bits needs " + Number(pixelSize) + " bytes from offset " + Number(info.pixelOffset) + ", the file has " +
            Number(file.size()) + " bytes";
    return false;
  }
  info.pixelSize = static_cast<uint32_t>(pixelSize);
  if (bits == 8 && file.size() < kHeadersSize + kPaletteBytes) {
    error = "an 8-bit picture gets a palette of 256 colours read from offset 54, but the file ends at " +
            Number(file.size()) + " bytes; save it with a full 256-colour table";
    return false;
  }
  return true;
}

}  // namespace

bool CheckSetupBitmap(const std::vector<uint8_t>& file, PictureInfo& info, std::string& error) {
  info = PictureInfo();
  return CheckHeaders(file, error) && CheckFormat(file, info, error) && CheckLayout(file, info, error);
}

bool CheckSetupBitmap(const std::vector<uint8_t>& file, std::string& error) {
  PictureInfo info;
  return CheckSetupBitmap(file, info, error);
}
