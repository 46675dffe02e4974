// The file data of a setup as one continuous byte sequence: it begins in the
// setup file's FileData chunk and continues in volume files (the setup file's
// name with the extension ".D01", ".D02", ...; each a u32 data size followed
// by data). The decoder reads a file's stream in limited mode (the limit is
// the file's packedSize); each refill comes here, reads at most the bytes the
// stream still has, and switches to the next volume when the current file's
// data runs out, asking the user for the disk while it cannot be opened.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

struct InflateInput;

// Reader state, process-wide. OpenFileData opens InputHandle on the setup
// file positioned at its first data byte and sets VolumeNumber to 0; the
// loader sets VolumeDataSize and VolumeBytesLeft to FileDataSize.
extern FileHandle InputHandle;    // file being read; replaced at each switch
extern uint32_t VolumeNumber;     // 0: the setup file; n: volume n
extern uint32_t VolumeDataSize;   // data size of the current file
extern uint32_t VolumeBytesLeft;  // its data bytes not yet read

// Copies SetupFilePath to DataFilePath and opens it as InputHandle at its
// first file-data byte, volume 0. onGiveUp (may be null) is called when the
// user gives up on a missing disk, after the prompt's question. False when
// the file does not open.
bool OpenFileData(void (*onGiveUp)());
// Closes InputHandle; the installation is over.
void CloseFileData();

// Copies SetupFilePath to DataFilePath and opens it as InputHandle at its
// first file-data byte, volume 0. onGiveUp (may be null) is called when the
// user gives up on a missing disk, after the prompt's question. False when
// the file does not open.
bool OpenFileData(void (*onGiveUp)());
// Closes InputHandle; the installation is over.
void CloseFileData();

// Refills the decoder's input buffer while its limit is not 0: reads
// min(limit, 4096) bytes, counts them against the limit (the count asked for)
// and VolumeBytesLeft (the count read), and when the read comes up short
// continues in the next volume. After the user gives up on a disk the buffer
// is left empty, so the decode fails for lack of input.
void FillInput(InflateInput& in);

// Closes InputHandle and opens the file that continues the data: the same
// file again at its first unread data byte when it gave fewer bytes than its
// size field promised (for the setup file itself, behind its FileData
// chunk's size field), else the next volume, with the disk prompt (text 6/28)
// while it cannot be opened or its size field cannot be read. Returns the new
// InputHandle, or kInvalidFile when the user gave up (onGiveUp called) or the
// resume position could not be reached.
FileHandle OpenNextVolume();
