// Building the LOGFONTA of the background title.
#include "authoring/FontSpec.h"

#include "setupdata/Format.h"

static_assert(kLogFontSize == kBackgroundFontSize, "a LOGFONTA is 60 bytes");
static_assert(LogFontField::faceName == LogFontField::pitchAndFamily + 1, "the face name follows the byte fields");

namespace {

const uint8_t kDefaultCharset = 1;        // DEFAULT_CHARSET
const uint8_t kOutDefaultPrecis = 0;      // OUT_DEFAULT_PRECIS
const uint8_t kClipDefaultPrecis = 0;     // CLIP_DEFAULT_PRECIS
const uint8_t kDefaultQuality = 0;        // DEFAULT_QUALITY
const uint8_t kDefaultPitchDontCare = 0;  // DEFAULT_PITCH | FF_DONTCARE
const int32_t kMaxHeight = 16384;
const int32_t kMaxWeight = 1000;

}  // namespace

bool BuildLogFont(const std::string& face, int32_t height, int32_t weight, bool italic, std::vector<uint8_t>& font,
                  std::string& error) {
  if (face.size() >= kLogFontFaceSize) {
    error = "the face name \"" + face + "\" is " + std::to_string(face.size()) + " bytes long; at most " +
            std::to_string(kLogFontFaceSize - 1) + " fit in a LOGFONT";
    return false;
  }
  for (unsigned char c : face) {
    if (c < 0x20 || c == 0x7F) {
      error = "the face name \"" + face + "\" holds a control character";
      return false;
    }
  }
  if (height < -kMaxHeight || height > kMaxHeight) {
    error = "the height " + std::to_string(height) + " is outside -16384 to 16384";
    return false;
  }
  if (weight < 0 || weight > kMaxWeight) {
    error = "the weight " + std::to_string(weight) + " is outside 0 to 1000";
    return false;
  }
  font.assign(kLogFontSize, 0);
  WriteU32Le(&font[LogFontField::height], static_cast<uint32_t>(height));
  WriteU32Le(&font[LogFontField::weight], static_cast<uint32_t>(weight));
  font[LogFontField::italic] = italic ? 1 : 0;
  font[LogFontField::charSet] = kDefaultCharset;
  font[LogFontField::outPrecision] = kOutDefaultPrecis;
  font[LogFontField::clipPrecision] = kClipDefaultPrecis;
  font[LogFontField::quality] = kDefaultQuality;
  font[LogFontField::pitchAndFamily] = kDefaultPitchDontCare;
  face.copy(reinterpret_cast<char*>(&font[LogFontField::faceName]), face.size());
  return true;
}
