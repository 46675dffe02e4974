// The certificate table of a signed Windows program (an Authenticode
// signature): the PE header's data directory 4, the security directory,
// gives its file offset and size. A signing tool appends the table at the
// end of the file, after zero bytes that align it to 8, and hashes every
// byte before it; so a setup or an uninstaller whose own data ends at most
// 7 zero bytes before the table, the table running exactly to the end of
// the file, is whole. Nothing here checks the signature itself.
//
// Portable and bounded: the header is read from the first bytes of the
// file only, every field checked against them.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

// The part of a file that the PE header must lie in to be found. Setvik's
// own programs keep theirs in the first 300 bytes.
const uint32_t kPeHeadSize = 512;
// Zero bytes a signing tool may put between a file's data and its table.
const uint32_t kMaxSignaturePadding = 7;

// True when head (the file's first headSize bytes) holds a PE32 or PE32+
// header whose security directory declares a table of at least 8 bytes (a
// WIN_CERTIFICATE header) that runs exactly to fileSize; *tableAt is then
// its file offset.
bool FindCertificateTable(const uint8_t* head, uint32_t headSize, uint32_t fileSize, uint32_t* tableAt);

// The same for an open file, from its first bytes (at most headLimit, the
// length of the program whose header it is) and its size. The position is
// left anywhere.
bool FindFileCertificateTable(FileHandle file, uint32_t headLimit, uint32_t* tableAt);

// True when the length bytes of gap, the bytes between a file's data and
// its certificate table, are alignment: at most 7, each zero.
bool IsSignaturePadding(const uint8_t* gap, uint32_t length);
