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
};

// Walks the chunk headers from stubSize to the FileData chunk. Stops with
// an error message when a header cannot be read or a body runs past the end
// of the file; the chunks seen until then are returned either way.
std::vector<ChunkInfo> WalkChunks(const std::string& path, uint32_t stubSize, std::string& error);

// The readable name of a chunk id ("SetupFlags", ...; "unknown" otherwise).
const char* ChunkName(uint16_t id);

// Loads the setup at path into the process-wide setup data (LoadSetupData),
// with the path buffers allocated. False with a message when the file has
// no stub mark or the loader refuses it. UnloadSetup releases everything.
bool LoadSetup(const std::string& path, std::string& error);
void UnloadSetup();

// Writes bytes to path through a temporary file in the same folder and a
// rename, so a failed write leaves no partial output.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
