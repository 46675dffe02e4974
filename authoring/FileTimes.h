// Times for a file record's timesBlock, as Windows FILETIME values: 100-ns
// units since 1601-01-01 00:00:00 UTC. They come either from the source
// file's own times or from a date-time the publisher writes down.
//
// Reproducible builds: times taken from the source files make the setup's
// bytes depend on when the files were checked out, touched or read (the
// access time changes by reading). When SOURCE_DATE_EPOCH is set (seconds
// since 1970, as `date +%s` prints), every time taken from a file is clamped
// to it: a later time becomes SOURCE_DATE_EPOCH, an earlier one stays.
// Times written down in the project are used as given.
#pragma once

#include <stdint.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "authoring/SetupWriter.h"

const uint64_t kFileTimeTicksPerSecond = 10000000;
const int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
// The largest FILETIME that Windows turns into a date (FileTimeToSystemTime).
const uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

// seconds and nanoseconds since 1970-01-01 UTC to a FILETIME (nanoseconds
// truncated to 100 ns); false when the time lies before 1601 or after
// kMaxFileTime.
bool UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds, uint64_t& fileTime);

// The times of a stat result. stat has no birth time, so the creation time
// is the modification time. (statx's birth time is not used on purpose: no
// tool can set it, so it would differ between two checkouts of one source.)
bool FileTimesFromStat(const struct stat& info, FileTimes& times, std::string& error);

// SOURCE_DATE_EPOCH from the environment: nullopt in epoch when it is unset
// or empty; false with a message when it is not a decimal number of seconds.
bool ReadSourceDateEpoch(std::optional<int64_t>& epoch, std::string& error);

// Lowers each of the three times that is later than limit to limit.
void ClampFileTimes(FileTimes& times, uint64_t limit);

// The times of the file at path, clamped to SOURCE_DATE_EPOCH when that is
// set; nullopt with a message that begins with the path (or names
// SOURCE_DATE_EPOCH) on failure.
std::optional<FileTimes> ReadSourceFileTimes(const std::string& path, std::string& error);

// An RFC 3339 date-time in UTC, "2026-01-31T12:00:00Z", with an optional
// fraction of a second ("...:00.25Z"; digits beyond the seventh, below
// 100 ns, are dropped) and T and Z in either case. Everything else is
// refused with a message: local offsets (+02:00), leap seconds, dates that
// do not exist and years before 1601.
bool ParseFileTime(std::string_view text, uint64_t& fileTime, std::string& error);
