// Host-side access to a finished setup: finding the stub's length in it,
// walking its chunk headers, and loading it with the same loader the stub
// runs, so that what the tool reports is what the setup program will see.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "setupdata/Format.h"

// The stub length that the setup file's own stub mark holds, or nullopt
// when the file carries no stub mark. The first mark in the file is the
// stub's; later ones may lie inside stored files.
std::optional<uint32_t> FindStubSize(const std::string& path, std::string& error);

struct ChunkInfo {
  uint64_t offset;  // of the header
  ChunkHeader header;
  uint32_t unpackedSize;  // the u32 prefix of a compressed body, else size
  uint64_t repeats = 1;   // identical empty headers in a row that this entry stands for
};

// Walks the chunk headers from stubSize to the FileData chunk. Stops with
// an error message when a header cannot be read or a body runs past the end
// of the file; the chunks seen until then are returned either way. A run of
// identical empty headers is one entry, so the list stays small whatever
// the file holds.
std::vector<ChunkInfo> WalkChunks(const std::string& path, uint32_t stubSize, std::string& error);

// The readable name of a chunk id ("SetupFlags", ...; "unknown" otherwise).
const char* ChunkName(uint16_t id);

// The largest body the tools let a chunk declare: no more than a 32-bit
// process such as the stub has address space for.
const uint32_t kMaxChunkBody = 0x7FFF0000u;

// Loads the setup at path into the process-wide setup data (LoadSetupData),
// with the path buffers allocated. False with a message when the file is
// not a regular file, has no stub mark, declares a chunk body larger than
// kMaxChunkBody, or the loader refuses it. UnloadSetup releases everything.
bool LoadSetup(const std::string& path, std::string& error);
void UnloadSetup();

// The certificate table of a signed setup: file offset and size of the
// table that the stub's PE header (in the first stubSize bytes) declares,
// running exactly to the end of the file; nullopt when it declares none.
struct CertificateTableInfo {
  uint32_t offset;
  uint32_t size;
};
std::optional<CertificateTableInfo> FindSetupCertificate(const std::string& path, uint32_t stubSize);

// Writes bytes to path through a temporary file in the same folder and a
// rename, so a failed write leaves no partial output.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// The largest input file: the format counts in 32 bits.
const uint64_t kMaxInputSize = 0xFFFFFFFFull;

// Reads a regular file whole. Refused with "PATH: not a regular file" (a
// folder, FIFO, device: nothing that could block or never end) or "PATH:
// too large" past limit bytes, both before anything is read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   uint64_t limit = kMaxInputSize);
// The same checks without reading, for a file that a reader opens itself.
bool CheckRegularFile(const std::string& path, std::string& error, uint64_t limit = kMaxInputSize);

// Creates a new temporary file in the folder of path, exclusively (never
// through an existing file or link), under a short name of its own; its
// name goes to temporary. The descriptor, or -1 with errno set.
int CreateTemporaryBeside(const std::string& path, std::string& temporary);
