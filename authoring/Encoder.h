// The encoder of the setup compression format (host only). Match finding
// and code construction come from a well-kept deflate library; its RFC 1951
// output is rewritten into this format's block headers, stored-block header
// and code-length order, so the Huffman-coded data is carried over bit for
// bit.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Compression levels: 0 stores only; 1-12 trade time for size (12 is the
// smallest). The default is what `setvik build` uses.
const int kEncodeLevelDefault = 12;
const int kEncodeLevelMax = 12;

// Compresses size bytes into one complete stream (the last block carries the
// last-block flag; an empty input gives a valid stream that decodes to
// nothing).
std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, int level = kEncodeLevelDefault);

// Rewrites one raw RFC 1951 stream into the setup format. Returns false when
// the input is not a valid, complete RFC 1951 stream. On success *consumed
// (when not null) receives the number of input bytes the stream occupied.
bool TranscodeRfc1951(const uint8_t* in, size_t size, std::vector<uint8_t>& out,
                      size_t* consumed = nullptr);
