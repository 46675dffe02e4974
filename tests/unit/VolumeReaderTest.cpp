// The limited input mode across the setup file and its volume files, made in
// a scratch folder, with the disk prompt answered through the platform double
// (the prompt's questions are install-volumes.sh's, under Wine).
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <random>

#include "authoring/Encoder.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"
#include "tests/support/PlatformDouble.h"
#include "tests/unit/StreamTesting.h"
#include "tests/unit/ToolTesting.h"

using namespace streamtest;
namespace fs = std::filesystem;

namespace {

Bytes Slice(const Bytes& v, size_t from, size_t to) { return Bytes(v.begin() + from, v.begin() + to); }

// Somewhat compressible: letters, a few random bytes.
Bytes Data(size_t n) {
  std::mt19937 rng(42);
  Bytes v;
  while (v.size() < n) v.push_back(rng() % 16 ? uint8_t('a' + rng() % 4) : uint8_t(rng()));
  return v;
}
const Bytes kAbc = {0x0F, 0x03, 0x00, 'a', 'b', 'c'};

class VolumeReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/volumes.XXXXXX" : "/tmp/volumes.XXXXXX";
    dir = mkdtemp(&pattern[0]);
    savedPath = DataFilePath;
    DataFilePath = path;
    savedTexts = TextGroups[kTextGroupMessages];
    SetMessages("Insert disk %d.");
    PlatformDouble::Reset();
    InputHandle = kInvalidFile;
  }
  void TearDown() override {
    FileClose(InputHandle);
    InputHandle = kInvalidFile;
    DataFilePath = savedPath;
    TextGroups[kTextGroupMessages] = savedTexts;
    fs::remove_all(dir);
  }

  // Group 6: u16 count, then texts 0-28 (6/13, 6/15 and the disk prompt 6/28 filled in).
  void SetMessages(const std::string& prompt) {
    texts = {29, 0};
    for (uint32_t i = 0; i < 29; ++i)
      texts = texts + Text(i == 13 ? "Really cancel?" : i == 15 ? "Cancelled." : i == 28 ? prompt : "") + Bytes{0};
    TextGroups[kTextGroupMessages] = texts.data();
  }
  void SetPath(const std::string& name) { snprintf(path, sizeof path, "%s", (dir / name).c_str()); }
  // The setup file: a fake stub, then the file data with its size field;
  // InputHandle at the first data byte, as the installation starts.
  void StartSetup(const Bytes& data) {
    Spit((dir / "SETUP.EXE").string(), Text("MZ stub!") + U32(uint32_t(data.size())) + data);
    SetPath("SETUP.EXE");
    FileClose(InputHandle);
    InputHandle = FileOpen(path, kFileRead);
    FileSeekTo(InputHandle, 12);
    FileDataOffset = 8;
    VolumeNumber = 0;
    VolumeDataSize = VolumeBytesLeft = uint32_t(data.size());
  }
  void WriteVolume(uint32_t n, const Bytes& data) {
    Spit((dir / ("SETUP.D0" + std::to_string(n))).string(), U32(uint32_t(data.size())) + data);
  }
  // One file's stream, read the way the installation reads it.
  Decoded DecodeNext(size_t packedSize) {
    CollectingSink sink(SIZE_MAX);
    Inflater inflater;
    const int result = inflater.DecodeToSink(sink, InputHandle, uint32_t(packedSize), FillInput);
    inflater.EndInput();
    return {result, sink.bytes, {}, long(FileTell(InputHandle))};
  }
  // The disk prompt answered Cancel, then Yes to giving up.
  void GiveUpNextVolume() {
    PlatformDouble::Reset();
    PlatformDouble::Answer({kAnswerCancel, kAnswerYes});
  }

  fs::path dir;
  char path[kPathBufferSize] = {};
  char* savedPath = nullptr;
  uint8_t* savedTexts = nullptr;
  Bytes texts;
};

}  // namespace

TEST_F(VolumeReaderTest, StreamCutAtEveryByteAcrossSetupFileAndVolume) {
  const Bytes data = Data(12000), first = EncodeStream(data.data(), data.size(), 9);
  ASSERT_GT(first.size(), kInflateInputSize);  // more than one refill
  for (size_t cut = 0; cut <= first.size(); ++cut) {
    StartSetup(Slice(first, 0, cut));
    WriteVolume(1, Slice(first, cut, first.size()) + kAbc);
    Decoded d = DecodeNext(first.size());
    ASSERT_EQ(d.result, kInflateOk) << cut;
    ASSERT_TRUE(d.output == data) << cut;
    // A stream that ends with the setup file's data does not open volume 1.
    ASSERT_EQ(VolumeNumber, cut < first.size() ? 1u : 0u) << cut;
    d = DecodeNext(kAbc.size());
    ASSERT_EQ(d.output, Text("abc")) << cut;
    ASSERT_EQ(d.position, long(4 + first.size() - cut + kAbc.size())) << cut;
    ASSERT_EQ(VolumeBytesLeft, 0u);
  }
  EXPECT_TRUE(PlatformDouble::Shown().empty());
}

TEST_F(VolumeReaderTest, VolumeNamesAndPromptText) {
  SetPath("SETUP.D09");
  VolumeNumber = 9;
  VolumeBytesLeft = 0;
  // Only the first %d takes the number; %% is a percent sign; the rest stays.
  SetMessages("%s%x %d%% %d" + std::string(300, '.'));
  GiveUpNextVolume();
  EXPECT_EQ(OpenNextVolume(), kInvalidFile);
  EXPECT_EQ(fs::path(path).filename(), "SETUP.D10");
  EXPECT_EQ(PlatformDouble::Shown()[0].text, ("%s%x 11% %d" + std::string(300, '.')).substr(0, 199));

  // A name without extension gets the suffix appended; one that would not
  // fit the path buffer is never opened, only asked for.
  SetPath("SETUP");
  VolumeNumber = 0;
  GiveUpNextVolume();
  OpenNextVolume();
  EXPECT_EQ(fs::path(path).filename(), "SETUP.D01");
  memset(path, 'x', kPathBufferSize - 2);
  path[kPathBufferSize - 2] = 0;
  GiveUpNextVolume();
  EXPECT_EQ(OpenNextVolume(), kInvalidFile);
  EXPECT_EQ(strlen(path), kPathBufferSize - 2);
  EXPECT_EQ(PlatformDouble::Shown().size(), 2u);
}

TEST_F(VolumeReaderTest, ShortReadResumesAndBadSizeFieldPrompts) {
  WriteVolume(1, Data(100));
  SetPath("SETUP.D01");
  VolumeNumber = 1;
  VolumeDataSize = 100;
  VolumeBytesLeft = 60;  // 40 read before the short read: same file, at 4 + 40
  EXPECT_EQ(FileTell(OpenNextVolume()), 44u);
  EXPECT_EQ(VolumeBytesLeft, 60u);
  EXPECT_EQ(VolumeNumber, 1u);
  // The setup file itself resumes behind its FileData size field, not at 4.
  StartSetup(Data(100));
  VolumeBytesLeft = 60;
  EXPECT_EQ(FileTell(OpenNextVolume()), 8u + 4 + 40);
  EXPECT_EQ(VolumeNumber, 0u);
  VolumeNumber = 1;
  SetPath("SETUP.D01");
  VolumeDataSize = 0x90000000u;  // a resume position that cannot be reached: no message
  VolumeBytesLeft = 1;
  EXPECT_EQ(OpenNextVolume(), kInvalidFile);
  EXPECT_EQ(VolumeBytesLeft, 0u);
  EXPECT_TRUE(PlatformDouble::Shown().empty());

  // A volume whose size field cannot be read is asked for like a missing one.
  StartSetup(Slice(kAbc, 0, 2));
  Spit((dir / "SETUP.D01").string(), {0x04, 0x00});
  PlatformDouble::Answer({kAnswerOk});
  PlatformDouble::OnShow([&](const PlatformDouble::ShownMessage&) { WriteVolume(1, Slice(kAbc, 2, 6)); });
  EXPECT_EQ(DecodeNext(kAbc.size()).output, Text("abc"));
  EXPECT_EQ(PlatformDouble::ShownTexts(), std::vector<std::string>{"Insert disk 2."});
}
