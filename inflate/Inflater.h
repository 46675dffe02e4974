// The decoder of the setup compression format: deflate's Huffman coding,
// alphabets, fixed code and 32 KiB window, but a 4-bit block header (type in
// bits 0-2: 5 fixed, 6 dynamic, 7 stored; bit 3: last block), a stored block
// without NLEN, and the code-length order 18, 17, 16, 0, 1, ..., 15.
//
// One Inflater decodes one stream. It reads its input from a file, 4096
// bytes at a time, and takes exactly the bytes of the stream: when input
// ends, whatever it read beyond the stream's last byte is given back by
// moving the file position back, so streams stored back to back read one
// after the other. Output goes through a 32768-byte window to an OutputSink.
//
// With a non-zero limit the input is refilled through a function that the
// caller names (the setup's file data across its volume files: the volume
// reader's FillInput); the decoder itself knows nothing of volumes, disks or
// prompts.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

class OutputSink;

enum InflateResult {
  kInflateOk = 0,
  kInflateInvalidData = 1,  // invalid code or length, bad header counts, input ended early
  kInflateBadBlock = 2,     // block type 0-4, or an over-subscribed code
  kInflateNoMemory = 3,     // window or lookup table could not be allocated
};

const uint32_t kInflateInputSize = 4096;
const uint32_t kInflateWindowSize = 32768;

struct InflateInput;
// Refills the input buffer in limited mode: reads into input, sets readPos
// and available, and counts what it takes against limit. Called only while
// limit is not 0; a fill that delivers nothing ends the input.
typedef void (*InputFill)(InflateInput& in);

// The input state of a decode.
struct InflateInput {
  uint8_t* input;          // kInflateInputSize bytes while input is open
  const uint8_t* readPos;  // next unread byte
  uint32_t available;      // unread bytes from readPos on
  FileHandle source;       // kInvalidFile when there is none
  uint32_t limit;          // source bytes still to read for this stream; 0: no limit
  InputFill fill;          // the refill while limit is not 0 (null: read source as is)
};

// The fast decode loop follows the width of the bit buffer: a machine word,
// 64 bits on the host and 32 in the stub. Host builds compile the decoder a
// second time with INFLATE_NARROW defined, which selects the stub's 32-bit
// buffer and loop; that copy is narrow::Inflater, so that one program can
// link both and compare them.
#ifdef INFLATE_NARROW
inline namespace narrow {
#endif

class Inflater : public InflateInput {
 public:
  Inflater();
  ~Inflater();  // ends input

  // Decode one stream from source (at its current position) into the
  // destination buffer of the given capacity, or into the file output
  // (dropped when output is kInvalidFile). True exactly when the decode
  // succeeded; either way source is left right after the bytes taken. A
  // limit other than 0 comes with the fill that refills the input.
  bool DecodeToMemory(uint8_t* destination, uint32_t capacity, FileHandle source, uint32_t limit,
                      InputFill fill = nullptr);
  bool DecodeToFile(FileHandle output, FileHandle source, uint32_t limit, InputFill fill = nullptr);
  // The same into any sink; returns the InflateResult, or -1 when input
  // could not begin or the sink was not ready.
  int DecodeToSink(OutputSink& sink, FileHandle source, uint32_t limit, InputFill fill = nullptr);

  // The steps the entry points run, in order.
  bool BeginInput(FileHandle source, uint32_t limit, InputFill fill = nullptr);
  int Inflate(OutputSink& sink);
  void EndInput();  // harmless when called twice

 private:
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  // The decoder state (window, bit buffer, tables) lives inside Inflate.
};

#ifdef INFLATE_NARROW
}  // namespace narrow
#endif
