// Every text a setup shows, by a readable name: its group and index, the
// one conversion its reader formats it with (if any), and a well-written
// English default, so a minimal project file names only its title and its
// files. The table is the authoring side's single list of texts.
#pragma once

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

struct TextRole {
  const char* name;      // "welcome.title", "messages.checksum_error", ...
  uint16_t group;
  uint16_t index;
  char conversion;       // 's' or 'd': formatted with one such argument; 0: shown as it is
  const char* meaning;   // what the text is for, for messages and docs
  const char* fallback;  // the default text; "{title}" stands for the setup's title
};

// All roles, ordered by group and index.
const std::vector<TextRole>& TextRoles();
const TextRole* FindTextRole(std::string_view name);

// Checks a text against its role: a formatted text may hold at most one
// conversion, of the role's kind, and otherwise only "%%"; any other "%"
// sequence would be read as a conversion by the setup. Texts shown as they
// are may hold anything. Returns an empty string when the text fits, else
// what is wrong.
std::string CheckTextPlaceholders(const TextRole& role, std::string_view text);

// The text groups 0-7 filled with the defaults, {title} replaced.
std::vector<std::vector<std::string>> DefaultTextGroups(std::string_view title);
