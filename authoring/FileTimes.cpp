// FILETIME values from file times, SOURCE_DATE_EPOCH and RFC 3339 text.
#include "authoring/FileTimes.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int64_t kSecondsPerDay = 86400;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian
// calendar (negative before 1970). Counts whole 400-year eras from
// 0000-03-01, so that the leap day falls at the end of a counted year.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// Reads exactly count digits at text[at]; false when one is not a digit.
bool ReadDigits(std::string_view text, size_t& at, size_t count, int& value) {
  if (text.size() - at < count) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i, ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    value = value * 10 + (text[at] - '0');
  }
  return true;
}

bool Expect(std::string_view text, size_t& at, char c) {
  if (at >= text.size() || (text[at] != c && text[at] != (c | 0x20))) return false;
  ++at;
  return true;
}

struct DateTime {
  int year, month, day, hour, minute, second;
  uint32_t ticks = 0;  // fraction of the second, 100-ns units
};

// The fixed-width fields; at ends after the seconds.
bool ReadFields(std::string_view text, size_t& at, DateTime& t) {
  return ReadDigits(text, at, 4, t.year) && Expect(text, at, '-') && ReadDigits(text, at, 2, t.month) &&
         Expect(text, at, '-') && ReadDigits(text, at, 2, t.day) && Expect(text, at, 'T') &&
         ReadDigits(text, at, 2, t.hour) && Expect(text, at, ':') && ReadDigits(text, at, 2, t.minute) &&
         Expect(text, at, ':') && ReadDigits(text, at, 2, t.second);
}

// ".digits" after the seconds, if there; false for a dot without digits.
bool ReadFraction(std::string_view text, size_t& at, DateTime& t) {
  if (at >= text.size() || text[at] != '.') return true;
  size_t first = ++at;
  uint32_t scale = 1000000;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10) {
    t.ticks += static_cast<uint32_t>(text[at] - '0') * scale;
  }
  return at > first;
}

std::string CheckRanges(const DateTime& t) {
  if (t.year < 1601) return "the year " + std::to_string(t.year) + " lies before 1601, where FILETIME begins";
  if (t.month < 1 || t.month > 12) return "there is no month " + std::to_string(t.month);
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) {
    return "there is no day " + std::to_string(t.day) + " in month " + std::to_string(t.month) + " of " +
           std::to_string(t.year);
  }
  if (t.hour > 23 || t.minute > 59) return "the time of day is out of range";
  if (t.second == 60) return "a leap second cannot be stored in a FILETIME";
  if (t.second > 59) return "the seconds are out of range";
  return "";
}

}  // namespace

bool UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds, uint64_t& fileTime) {
  const int64_t maxSeconds = static_cast<int64_t>(kMaxFileTime / kFileTimeTicksPerSecond) - kUnixEpochSeconds;
  if (seconds < -kUnixEpochSeconds || seconds >= maxSeconds || nanoseconds >= 1000000000) return false;
  fileTime = static_cast<uint64_t>(seconds + kUnixEpochSeconds) * kFileTimeTicksPerSecond + nanoseconds / 100;
  return true;
}

bool FileTimesFromStat(const struct stat& info, FileTimes& times, std::string& error) {
  auto convert = [&](const struct timespec& time, uint64_t& fileTime, const char* what) {
    if (UnixTimeToFileTime(time.tv_sec, static_cast<uint32_t>(time.tv_nsec), fileTime)) return true;
    error = std::string("its ") + what + " time lies outside what a FILETIME holds (1601 to 30828)";
    return false;
  };
  if (!convert(info.st_mtim, times.lastWriteTime, "modification")) return false;
  if (!convert(info.st_atim, times.lastAccessTime, "access")) return false;
  times.creationTime = times.lastWriteTime;
  return true;
}

bool ReadSourceDateEpoch(std::optional<int64_t>& epoch, std::string& error) {
  epoch.reset();
  const char* text = getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == 0) return true;
  size_t length = strlen(text);
  uint64_t ignored;
  bool digits = length <= 12 && strspn(text, "0123456789") == length;
  if (!digits || !UnixTimeToFileTime(strtoll(text, nullptr, 10), 0, ignored)) {
    error = std::string("SOURCE_DATE_EPOCH is \"") + text + "\", not a number of seconds since 1970";
    return false;
  }
  epoch = strtoll(text, nullptr, 10);
  return true;
}

void ClampFileTimes(FileTimes& times, uint64_t limit) {
  for (uint64_t* time : {&times.creationTime, &times.lastAccessTime, &times.lastWriteTime}) {
    if (*time > limit) *time = limit;
  }
}

std::optional<FileTimes> ReadSourceFileTimes(const std::string& path, std::string& error) {
  std::optional<int64_t> epoch;
  if (!ReadSourceDateEpoch(epoch, error)) return std::nullopt;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    error = path + ": cannot read its times: " + strerror(errno);
    return std::nullopt;
  }
  FileTimes times;
  if (!FileTimesFromStat(info, times, error)) {
    error = path + ": " + error;
    return std::nullopt;
  }
  uint64_t limit;
  if (epoch && UnixTimeToFileTime(*epoch, 0, limit)) ClampFileTimes(times, limit);
  return times;
}

bool ParseFileTime(std::string_view text, uint64_t& fileTime, std::string& error) {
  auto fail = [&](const std::string& why) {
    error = "date-time \"" + std::string(text) + "\": " + why;
    return false;
  };
  const char* form = "expected YYYY-MM-DDTHH:MM:SSZ in UTC, such as 2026-01-31T12:00:00Z";
  DateTime t{};
  size_t at = 0;
  if (!ReadFields(text, at, t) || !ReadFraction(text, at, t)) return fail(form);
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    return fail("has a UTC offset; give the time in UTC, ending in Z");
  }
  if (!Expect(text, at, 'Z') || at != text.size()) return fail(form);
  std::string range = CheckRanges(t);
  if (!range.empty()) return fail(range);
  int64_t seconds = DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
  if (!UnixTimeToFileTime(seconds, 0, fileTime)) return fail("lies outside what a FILETIME holds");
  fileTime += t.ticks;
  return true;
}
