// The stub's 32-bit decode loop for fuzz_inflate: this file is compiled with
// INFLATE_NARROW, so Inflater here is narrow::Inflater, which the target's
// own file cannot name beside the host's Inflater.
#include "inflate/Inflater.h"

int DecodeNarrow(OutputSink& sink, FileHandle source, uint32_t limit, InputFill fill) {
  return Inflater().DecodeToSink(sink, source, limit, fill);
}
