// The decoder's input in limited mode: the file data across the setup file
// and its volume files, with the disk prompt (see VolumeReader.h).
//
// Coupling: the limit and VolumeBytesLeft count the same reads differently
// (the limit by bytes asked for, VolumeBytesLeft by bytes read); a stream's
// last fill asks for exactly the rest of its packedSize, so a stream that ends
// at a volume's end never opens the next volume; the next stream's first fill
// does.
#include "setupdata/VolumeReader.h"

#include "base/Message.h"
#include "base/PathText.h"
#include "base/TextFormat.h"
#include "inflate/Inflater.h"
#include "setupdata/Format.h"
#include "setupdata/SetupData.h"

FileHandle InputHandle = kInvalidFile;
uint32_t VolumeNumber;
uint32_t VolumeDataSize;
uint32_t VolumeBytesLeft;
static void (*GiveUp)();

namespace {

const uint32_t kTextInsertDisk = 28;    // 6/28: "... disk %d ..."
const uint32_t kTextReallyCancel = 13;  // 6/13: Yes gives up
const uint32_t kPromptSize = 200;

// Gives DataFilePath the suffix of volume n: ".D" and n in at least two
// digits (n counts the volumes opened, far below 2^31). False when the name
// does not fit its buffer.
bool NameVolume(uint32_t n) {
  char suffix[16];
  FormatTextNumber(suffix, sizeof suffix, n < 10 ? ".D0%d" : ".D%d", static_cast<int32_t>(n));
  return ReplaceExtension(DataFilePath, suffix);
}

// The disk prompt: true to try the volume again, false when the user gives
// up (Cancel, then Yes to the question).
bool AskForDisk() {
  char prompt[kPromptSize];
  FormatTextNumber(prompt, kPromptSize, GetText(kTextGroupMessages, kTextInsertDisk),
                   static_cast<int32_t>(VolumeNumber + 1));
  if (ShowMessage(prompt, kBoxOkCancel, kAnswerCancel) == kAnswerOk) return true;
  return ShowMessage(GetText(kTextGroupMessages, kTextReallyCancel), kBoxYesNo, kAnswerYes) != kAnswerYes;
}

void CloseInput() {
  FileClose(InputHandle);
  InputHandle = kInvalidFile;
}

// Where the current file's size field lies: the setup file's at its
// FileData chunk body, a volume's at its start.
uint32_t SizeFieldOffset() { return VolumeNumber ? 0 : FileDataOffset; }

// Opens DataFilePath and reads its size field. False, with nothing open and
// both counts 0, when either fails.
bool OpenVolumeFile() {
  InputHandle = FileOpen(DataFilePath, kFileRead);
  if (InputHandle == kInvalidFile) return false;
  uint8_t field[kVolumeHeaderSize];
  if (FileSeekTo(InputHandle, SizeFieldOffset()) == SizeFieldOffset() &&
      FileRead(InputHandle, field, kVolumeHeaderSize) == 0) {
    VolumeDataSize = VolumeBytesLeft = ReadU32Le(field);
    return true;
  }
  CloseInput();
  VolumeDataSize = VolumeBytesLeft = 0;
  return false;
}

}  // namespace

bool OpenFileData(void (*onGiveUp)()) {
  GiveUp = onGiveUp;
  VolumeNumber = 0;
  CopyPath(DataFilePath, SetupFilePath);
  InputHandle = FileOpen(DataFilePath, kFileRead);
  if (InputHandle == kInvalidFile) return false;
  FileSeekTo(InputHandle, FileDataOffset + kVolumeHeaderSize);
  return true;
}

void CloseFileData() { CloseInput(); }

FileHandle OpenNextVolume() {
  CloseInput();
  uint32_t resume = 0;
  bool named = true;
  if (VolumeBytesLeft) {
    resume = VolumeDataSize - VolumeBytesLeft;  // the same file again
  } else {
    ++VolumeNumber;
    named = NameVolume(VolumeNumber);
  }
  // A volume that cannot be opened, or whose size field cannot be read, is
  // asked for until it can or the user gives up.
  for (;;) {
    if (named && OpenVolumeFile()) break;
    if (!AskForDisk()) {
      if (GiveUp) GiveUp();
      return kInvalidFile;
    }
  }
  if (!resume) return InputHandle;
  const uint32_t dataStart = SizeFieldOffset() + kVolumeHeaderSize;
  if (resume <= 0x7FFFFFFFu - dataStart && FileSkip(InputHandle, static_cast<int32_t>(resume)) == dataStart + resume) {
    VolumeBytesLeft = VolumeDataSize - resume;
    return InputHandle;
  }
  VolumeDataSize = VolumeBytesLeft = 0;
  CloseInput();
  return kInvalidFile;
}

void FillInput(InflateInput& in) {
  const uint32_t asked = in.limit < kInflateInputSize ? in.limit : kInflateInputSize;
  uint32_t got = FileReadSome(in.source, in.input, asked);
  in.readPos = in.input;
  in.available = got;
  in.limit -= asked;
  VolumeBytesLeft -= got;
  // The rest comes from the next volume, or the next after that when a
  // volume holds less than one fill: every byte asked for is delivered or
  // the input ends, so the limit, which counts bytes asked for, stays true.
  while (in.available < asked) {
    in.source = OpenNextVolume();
    if (in.source == kInvalidFile) {
      in.available = 0;
      return;
    }
    got = FileReadSome(in.source, in.input + in.available, asked - in.available);
    in.available += got;
    VolumeBytesLeft -= got;
    if (got == 0 && VolumeBytesLeft != 0) return;  // a volume cut short: no further byte will come
  }
}
