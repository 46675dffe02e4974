// Reading the project file; see Project.h and docs/project-file.md.
//
// Every table accepts only the keys listed for it, so a misspelt key is an
// error rather than a setting silently ignored. Values are checked here as
// far as they can be without opening the files they name.
#include "authoring/Project.h"

#include <dirent.h>
#include <fnmatch.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>
#include <toml++/toml.h>

#include "authoring/CodePage.h"
#include "authoring/FileTimes.h"
#include "authoring/PeVersion.h"
#include "authoring/SetupFile.h"
#include "authoring/TextCatalog.h"
#include "setupdata/SetupData.h"
#include "uninstlog/UninstallerFile.h"

namespace {

const size_t kMaxPath = kPathBufferSize - 1;  // 259 characters
const size_t kMaxText = 1023;                 // texts are formatted into 1,024-byte buffers
const size_t kMaxLongText = 60000;            // the information page's text
const size_t kMaxDiskPrompt = 199;            // the disk prompt's 200-byte buffer
const uint64_t kMaxProjectFile = 16u << 20;   // far more than any project needs

// The log names the installation folder "."; an uninstaller knows that
// folder only as the one it lies in.
const std::string kUninstallerPlace =
    "must be a plain file name: the uninstaller lies in the installation folder itself, which its log calls \".\"";

// Thrown inside this file only, caught by LoadProject.
struct ProjectError {
  std::string message;
};

class Reader {
 public:
  explicit Reader(const std::string& path) : path(path) {}

  // Fails at the node's place; shift moves the column right (to a
  // character inside a one-line string).
  [[noreturn]] void Fail(const toml::node* node, const std::string& message, size_t shift = 0) const {
    std::string where = path;
    if (node && node->source().begin.line)
      where += ":" + std::to_string(node->source().begin.line) + ":" +
               std::to_string(node->source().begin.column + shift);
    throw ProjectError{where + ": " + message};
  }

  // Texts and names are UTF-8 in the setup (setup.encoding = "utf-8"),
  // else code page 1252; set before the first text is read.
  bool utf8 = false;
  bool perUser = false;  // setup.scope = "user"

  // A text or name of the setup, from UTF-8 to the setup's encoding.
  std::string ToSetupText(const toml::node* node, const std::string& value, const std::string& name) const {
    std::string converted;
    CodePageProblem problem;
    if (ToSetupEncoding(value, utf8, converted, problem)) return converted;
    const bool oneLine = node && node->source().begin.line == node->source().end.line;
    Fail(node, name + " " + problem.message, oneLine ? 1 + problem.character : 0);
  }

  std::string Where(const toml::node& node) const {
    return path + ":" + std::to_string(node.source().begin.line);
  }

  void OnlyKeys(const toml::table& table, const std::string& name, std::initializer_list<const char*> keys) const {
    for (const auto& [key, value] : table) {
      const std::string_view given = key.str();
      if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return given == k; }))
        Fail(&value, "unknown key '" + std::string(given) + "' in " + name);
    }
  }

  const toml::table* Table(const toml::table& parent, const char* key, const std::string& name) const {
    const toml::node* node = parent.get(key);
    if (!node) return nullptr;
    if (!node->is_table()) Fail(node, name + " must be a table");
    return node->as_table();
  }

  // A string value; setupText: a text or name that the setup stores, in
  // code page 1252 (paths of the build machine stay as they are).
  std::optional<std::string> String(const toml::table& table, const char* key, const std::string& name,
                                    size_t maxLength = kMaxPath, bool setupText = false) const {
    const toml::node* node = table.get(key);
    if (!node) return std::nullopt;
    if (!node->is_string()) Fail(node, name + " must be a string");
    std::string value = **node->as_string();
    if (value.find('\0') != std::string::npos) Fail(node, name + " holds a NUL character");
    if (setupText) value = ToSetupText(node, value, name);
    if (value.size() > maxLength)
      Fail(node, name + " is " + std::to_string(value.size()) + " characters long; at most " +
                     std::to_string(maxLength) + " are allowed");
    return value;
  }

  std::optional<bool> Bool(const toml::table& table, const char* key, const std::string& name) const {
    const toml::node* node = table.get(key);
    if (!node) return std::nullopt;
    if (!node->is_boolean()) Fail(node, name + " must be true or false");
    return **node->as_boolean();
  }

  std::optional<int64_t> Integer(const toml::table& table, const char* key, const std::string& name, int64_t low,
                                 int64_t high) const {
    const toml::node* node = table.get(key);
    if (!node) return std::nullopt;
    if (!node->is_integer()) Fail(node, name + " must be a whole number");
    int64_t value = **node->as_integer();
    if (value < low || value > high)
      Fail(node, name + " must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return value;
  }

  std::optional<std::string> Text(const toml::table& table, const char* key, const std::string& name,
                                  size_t maxLength = kMaxPath) const {
    return String(table, key, name, maxLength, true);
  }

  // A string chosen from a list of names; returns its position.
  std::optional<int> Choice(const toml::table& table, const char* key, const std::string& name,
                            std::initializer_list<const char*> names) const {
    std::optional<std::string> value = String(table, key, name);
    if (!value) return std::nullopt;
    int index = 0;
    for (const char* n : names) {
      if (*value == n) return index;
      ++index;
    }
    std::string list;
    for (const char* n : names) list += std::string(list.empty() ? "" : ", ") + n;
    Fail(table.get(key), name + " must be one of: " + list);
  }

  std::string path;
};

std::string Resolve(const Project& project, const std::string& relative) {
  if (relative.empty() || relative[0] == '/') return relative;
  return project.directory + "/" + relative;
}

// A name as a message shows it: control characters as \xNN.
std::string Shown(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c < 0x20 || c == 0x7F ? std::string(hex) : std::string(1, static_cast<char>(c));
  }
  return "'" + out + "'";
}

bool PassesLogRule(const std::string& text, LogNameRule rule) {
  return IsLogName(LogText{text.data(), static_cast<uint32_t>(text.size())}, rule);
}

const char kLogRuleWords[] =
    "an empty, '.' or '..' part, a part that ends in a dot or a blank, or a control character or one of "
    "\\ / : * ? \" < > |";

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with or without an extension:
// Windows opens the device instead of a file.
bool IsDeviceName(const std::string& part) {
  std::string stem = part.substr(0, part.find('.'));
  for (char& c : stem) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

// A name below a destination folder: relative, backslash-separated, in
// code page 1252, and a name the uninstaller accepts in its log (no empty,
// "." or ".." part, no part ending in a dot or blank, no character Windows
// refuses in a name), no device name. listed: the name comes from a folder
// listing, not from the node's own text.
std::string CheckTargetName(const Reader& reader, const toml::node* node, std::string name, bool listed = false) {
  name = reader.ToSetupText(listed ? nullptr : node, name, listed ? "the file name '" + name + "'" : "the target name");
  std::replace(name.begin(), name.end(), '/', '\\');
  if (name.empty()) reader.Fail(node, "the target name is empty");
  if (name.size() > kMaxPath)
    reader.Fail(node, "the target name " + Shown(name) + " is longer than 259 characters");
  if (name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
    reader.Fail(node, "the target name " + Shown(name) + " must be relative to its destination folder");
  if (!PassesLogRule(name, kLogNamePath))
    reader.Fail(node, "the target name " + Shown(name) + " has " + kLogRuleWords +
                          " (Windows would change the name, and the uninstaller would refuse its log)");
  for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = name.find('\\', start);
    if (IsDeviceName(name.substr(start, end == std::string::npos ? std::string::npos : end - start)))
      reader.Fail(node, "the target name " + Shown(name) + " uses a device name of Windows (CON, PRN, AUX, NUL, "
                        "COM1-9, LPT1-9)");
  }
  return name;
}

// A shortcut's name: the link file name.lnk goes into the log as one part.
void CheckShortcutName(const Reader& reader, const toml::node* node, const std::string& key, const std::string& name) {
  if (!PassesLogRule(name + ".lnk", kLogNamePart) || IsDeviceName(name))
    reader.Fail(node, key + " " + Shown(name) + " is not a plain file name: it must not have " + kLogRuleWords +
                          ", or be a device name");
}

void ReadSetup(Reader& reader, const toml::table& root, Project& project) {
  const toml::table* setup = reader.Table(root, "setup", "[setup]");
  if (!setup) reader.Fail(nullptr, "the project has no [setup] table (it needs at least a title)");
  reader.OnlyKeys(*setup, "[setup]",
                  {"title", "default_folder", "folder_changeable", "full_screen", "single_page", "uninstall_name",
                   "compression", "information_file", "publisher", "version", "icon", "url_info_about",
                   "help_link", "pace", "scope", "architecture", "encoding"});
  // Each of these three defaults to what every setup did before it.
  if (reader.Choice(*setup, "scope", "setup.scope", {"machine", "user"}).value_or(0) == 1) {
    project.setupFlags |= kPerUserScope;
    reader.perUser = true;
  }
  if (reader.Choice(*setup, "architecture", "setup.architecture", {"x86", "x64"}).value_or(0) == 1)
    project.setupFlags |= kArchitectureX64;
  if (reader.Choice(*setup, "encoding", "setup.encoding", {"windows-1252", "utf-8"}).value_or(0) == 1) {
    project.setupFlags |= kUtf8Texts;
    reader.utf8 = true;
  }
  std::optional<std::string> title = reader.Text(*setup, "title", "setup.title", 200);
  if (!title || title->empty()) reader.Fail(setup, "[setup] needs a title");
  project.title = *title;
  project.defaultDir = reader.Text(*setup, "default_folder", "setup.default_folder")
                           .value_or("#Program Files#\\" + project.title);
  if (reader.Bool(*setup, "folder_changeable", "setup.folder_changeable").value_or(true))
    project.setupFlags |= kDirChangeable;
  if (reader.Bool(*setup, "full_screen", "setup.full_screen").value_or(false))
    project.setupFlags |= kFullScreenBackground;
  // Batched steps unless the project keeps one file per tick of the timer.
  if (reader.Choice(*setup, "pace", "setup.pace", {"batched", "per-file"}).value_or(0) == 0)
    project.setupFlags |= kBatchedSteps;
  if (const toml::node* page = setup->get("single_page")) {
    if (page->is_integer()) {
      project.singlePage = static_cast<uint16_t>(*reader.Integer(*setup, "single_page", "setup.single_page", 0, 6));
    } else {
      project.singlePage = static_cast<uint16_t>(*reader.Choice(
          *setup, "single_page", "setup.single_page",
          {"welcome", "information", "directory", "confirmation", "progress", "finish", "closing"}));
    }
  }
  project.uninstallName = reader.Text(*setup, "uninstall_name", "setup.uninstall_name");
  if (project.uninstallName) {
    const toml::node* node = setup->get("uninstall_name");
    if (!PassesLogRule(*project.uninstallName, kLogNameKey))
      reader.Fail(node, "setup.uninstall_name " + Shown(*project.uninstallName) +
                            " must name one key below the Uninstall key: not empty, no backslash, no control "
                            "character");
    if (kUninstallKeyPrefixLength + project.uninstallName->size() >= kUninstallKeyBufferSize)
      reader.Fail(node, "setup.uninstall_name is longer than " +
                            std::to_string(kUninstallKeyBufferSize - 1 - kUninstallKeyPrefixLength) + " characters");
  }
  static const char* const kEntryKeys[kUninstallEntryTextCount] = {"publisher", "version", "url_info_about",
                                                                   "help_link"};
  for (uint32_t n = 0; n < kUninstallEntryTextCount; ++n)
    project.entryTexts[n] = reader.Text(*setup, kEntryKeys[n], std::string("setup.") + kEntryKeys[n]);
  project.icon = reader.Text(*setup, "icon", "setup.icon");
  project.level = static_cast<int>(
      reader.Integer(*setup, "compression", "setup.compression", 0, kEncodeLevelMax).value_or(kEncodeLevelDefault));
}

void ReadFolderMemory(const Reader& reader, const toml::table& root, Project& project) {
  const toml::table* memory = reader.Table(root, "folder_memory", "[folder_memory]");
  if (!memory) return;
  reader.OnlyKeys(*memory, "[folder_memory]",
                  {"registry_root", "registry_key", "registry_value", "ini_file", "ini_section", "ini_key",
                   "save_to_registry", "save_to_ini"});
  if (std::optional<std::string> root = reader.String(*memory, "registry_root", "folder_memory.registry_root")) {
    project.dirRegistryRoot = RegistryRootByName(*root);
    if (!project.dirRegistryRoot)
      reader.Fail(memory->get("registry_root"),
                  "folder_memory.registry_root must be HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or "
                  "HKEY_USERS (or HKCR, HKCU, HKLM, HKU)");
    if (reader.perUser && *project.dirRegistryRoot != 1)
      reader.Fail(memory->get("registry_root"), "folder_memory.registry_root: a setup with scope = \"user\" "
                                                 "remembers its folder under HKEY_CURRENT_USER");
  }
  project.dirRegistryKey = reader.Text(*memory, "registry_key", "folder_memory.registry_key");
  project.dirRegistryValue = reader.Text(*memory, "registry_value", "folder_memory.registry_value");
  project.dirIniFile = reader.Text(*memory, "ini_file", "folder_memory.ini_file");
  project.dirIniSection = reader.Text(*memory, "ini_section", "folder_memory.ini_section");
  project.dirIniKey = reader.Text(*memory, "ini_key", "folder_memory.ini_key");
  if (reader.Bool(*memory, "save_to_registry", "folder_memory.save_to_registry").value_or(false)) {
    if (!project.dirRegistryKey) reader.Fail(memory, "save_to_registry needs registry_key");
    project.setupFlags |= kSaveDirToRegistry;
  }
  if (reader.Bool(*memory, "save_to_ini", "folder_memory.save_to_ini").value_or(false)) {
    if (!project.dirIniFile || !project.dirIniSection || !project.dirIniKey)
      reader.Fail(memory, "save_to_ini needs ini_file, ini_section and ini_key");
    project.setupFlags |= kSaveDirToIni;
  }
  if (project.dirRegistryKey && !project.dirRegistryRoot) project.dirRegistryRoot = 1;  // HKEY_CURRENT_USER
  if (project.dirRegistryValue && !project.dirRegistryKey)
    reader.Fail(memory, "registry_value needs registry_key");
}

void ReadPictures(const Reader& reader, const toml::table& root, Project& project) {
  if (const toml::table* background = reader.Table(root, "background", "[background]")) {
    reader.OnlyKeys(*background, "[background]", {"title", "bitmap", "font"});
    project.backgroundTitle = reader.Text(*background, "title", "background.title");
    if (auto bitmap = reader.String(*background, "bitmap", "background.bitmap"))
      project.backgroundBitmap = Resolve(project, *bitmap);
    if (const toml::table* table = reader.Table(*background, "font", "background.font")) {
      reader.OnlyKeys(*table, "background.font", {"face", "height", "weight", "italic"});
      ProjectFont font;
      font.face = reader.Text(*table, "face", "background.font.face", 31).value_or("Times New Roman");
      font.height = static_cast<int32_t>(
          reader.Integer(*table, "height", "background.font.height", -16384, 16384).value_or(-48));
      font.weight = static_cast<int32_t>(reader.Integer(*table, "weight", "background.font.weight", 0, 1000).value_or(700));
      font.italic = reader.Bool(*table, "italic", "background.font.italic").value_or(true);
      project.backgroundFont = font;
    }
  }
  if (const toml::table* frame = reader.Table(root, "frame", "[frame]")) {
    reader.OnlyKeys(*frame, "[frame]", {"picture"});
    if (auto picture = reader.String(*frame, "picture", "frame.picture")) project.framePicture = Resolve(project, *picture);
  }
  if (const toml::table* dialogs = reader.Table(root, "dialogs", "[dialogs]")) {
    reader.OnlyKeys(*dialogs, "[dialogs]", {"script", "resources"});
    if (auto script = reader.String(*dialogs, "script", "dialogs.script")) project.dialogScript = Resolve(project, *script);
    if (auto res = reader.String(*dialogs, "resources", "dialogs.resources"))
      project.dialogResources = Resolve(project, *res);
    if (project.dialogScript && project.dialogResources)
      reader.Fail(dialogs, "[dialogs] takes either script or resources, not both");
  }
  if (const toml::table* volumes = reader.Table(root, "volumes", "[volumes]")) {
    reader.OnlyKeys(*volumes, "[volumes]", {"setup_size", "volume_size"});
    const int64_t kMax = 0xFFFFFFFFll;
    project.setupSizeLimit = reader.Integer(*volumes, "setup_size", "volumes.setup_size", 1, kMax).value_or(0);
    project.volumeSizeLimit = reader.Integer(*volumes, "volume_size", "volumes.volume_size", 5, kMax).value_or(0);
    if (!project.setupSizeLimit || !project.volumeSizeLimit)
      reader.Fail(volumes, "[volumes] needs both setup_size and volume_size (bytes)");
  }
}

void SetText(const Reader& reader, const toml::node& node, const std::string& name, Project& project) {
  const TextRole* role = FindTextRole(name);
  if (!role) reader.Fail(&node, "unknown text '" + name + "' (docs/project-file.md lists every text by name)");
  if (!node.is_string()) reader.Fail(&node, "text '" + name + "' must be a string");
  if ((**node.as_string()).find('\0') != std::string::npos)
    reader.Fail(&node, "text '" + name + "' holds a NUL character");
  std::string text = reader.ToSetupText(&node, **node.as_string(), "text '" + name + "'");
  size_t limit = role->group == 1 ? kMaxLongText
                 : (role->group == kTextGroupMessages && role->index == 28) ? kMaxDiskPrompt
                                                                            : kMaxText;
  if (text.size() > limit)
    reader.Fail(&node, "text '" + name + "' is " + std::to_string(text.size()) + " characters long; at most " +
                           std::to_string(limit) + " are allowed");
  std::string problem = CheckTextPlaceholders(*role, text);
  if (!problem.empty()) reader.Fail(&node, "text '" + name + "' " + problem);
  project.texts[role->group][role->index] = text;
}

void ReadTexts(const Reader& reader, const toml::table& root, Project& project) {
  project.texts = DefaultTextGroups(project.title);
  const toml::table* texts = reader.Table(root, "texts", "[texts]");
  if (texts) {
    for (const auto& [section, value] : *texts) {
      if (!value.is_table()) {
        reader.Fail(&value, "[texts] holds tables of texts, such as [texts.welcome]; '" +
                                std::string(section.str()) + "' is not one");
      }
      for (const auto& [key, text] : *value.as_table())
        SetText(reader, text, std::string(section.str()) + "." + std::string(key.str()), project);
    }
  }
  const toml::table& setup = *root.get("setup")->as_table();
  if (auto file = reader.String(setup, "information_file", "setup.information_file")) {
    std::string path = Resolve(project, *file);
    std::string error;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error, 4 * kMaxLongText)) reader.Fail(setup.get("information_file"), error);
    const std::string utf8(bytes.begin(), bytes.end());
    std::string converted;
    CodePageProblem problem;
    if (!ToSetupEncoding(utf8, reader.utf8, converted, problem)) {
      size_t line, column;
      LineAndColumn(utf8, problem.offset, line, column);
      throw ProjectError{path + ":" + std::to_string(line) + ":" + std::to_string(column) + ": the information file " +
                         problem.message};
    }
    std::string text;
    for (char b : converted) {  // the edit control wants CR LF line ends
      if (b == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
      if (b == 0) reader.Fail(setup.get("information_file"), path + " holds a NUL byte; it must be plain text");
      text += b;
    }
    if (text.size() > kMaxLongText)
      reader.Fail(setup.get("information_file"), path + " is longer than " + std::to_string(kMaxLongText) + " bytes");
    project.texts[1][1] = text;
  }
}

void ReadShortcuts(const Reader& reader, const toml::table& entry, const std::string& name, FileRecordInfo& record) {
  if (const toml::table* menu = reader.Table(entry, "start_menu", name + ".start_menu")) {
    reader.OnlyKeys(*menu, name + ".start_menu", {"group", "name", "args", "icon"});
    std::optional<std::string> shortcut = reader.Text(*menu, "name", name + ".start_menu.name");
    if (!shortcut || shortcut->empty()) reader.Fail(menu, name + ".start_menu needs a name");
    record.strings[kStringGroupName] = reader.Text(*menu, "group", name + ".start_menu.group").value_or("");
    const std::string& group = record.strings[kStringGroupName];
    if (!group.empty() && !PassesLogRule(group, kLogNamePath))
      reader.Fail(menu->get("group"), name + ".start_menu.group " + Shown(group) + " has " + kLogRuleWords +
                                          " (the uninstaller would refuse its log)");
    CheckShortcutName(reader, menu->get("name"), name + ".start_menu.name", *shortcut);
    record.strings[kStringMenuShortcutName] = *shortcut;
    record.strings[kStringMenuShortcutArgs] = reader.Text(*menu, "args", name + ".start_menu.args").value_or("");
    record.iconIndex = static_cast<uint16_t>(reader.Integer(*menu, "icon", name + ".start_menu.icon", 0, 65535).value_or(0));
  }
  if (const toml::table* desktop = reader.Table(entry, "desktop", name + ".desktop")) {
    reader.OnlyKeys(*desktop, name + ".desktop", {"name", "args"});
    std::optional<std::string> shortcut = reader.Text(*desktop, "name", name + ".desktop.name");
    if (!shortcut || shortcut->empty()) reader.Fail(desktop, name + ".desktop needs a name");
    CheckShortcutName(reader, desktop->get("name"), name + ".desktop.name", *shortcut);
    record.strings[kStringDesktopShortcutName] = *shortcut;
    record.strings[kStringDesktopShortcutArgs] = reader.Text(*desktop, "args", name + ".desktop.args").value_or("");
  }
}

void ReadVersion(const Reader& reader, const toml::table& entry, const std::string& name, ProjectFile& file) {
  FileRecordInfo& record = file.record;
  if (reader.Bool(entry, "check_version", name + ".check_version").value_or(false))
    record.optionFlags |= kOptionCheckVersion;
  if (reader.Bool(entry, "check_language", name + ".check_language").value_or(false))
    record.optionFlags |= kOptionCheckLanguage;
  const toml::node* version = entry.get("version");
  if (!version) {
    file.versionFromSource = (record.optionFlags & kOptionVersionBlock) != 0;
    return;
  }
  if (!(record.optionFlags & kOptionVersionBlock))
    reader.Fail(version, name + ".version is given, but neither check_version nor check_language is set");
  if (version->is_string()) {
    if (**version->as_string() != "source") reader.Fail(version, name + ".version must be \"source\" or a table");
    file.versionFromSource = true;
    return;
  }
  if (!version->is_table()) reader.Fail(version, name + ".version must be \"source\" or a table");
  const toml::table& given = *version->as_table();
  reader.OnlyKeys(given, name + ".version", {"file", "product", "language"});
  auto parse = [&](const char* key, uint32_t& ms, uint32_t& ls) {
    std::optional<std::string> text = reader.String(given, key, name + ".version." + key);
    std::string problem;
    if (text && !ParseVersionString(*text, ms, ls, &problem))
      reader.Fail(given.get(key), name + ".version." + key + ": " + problem);
  };
  parse("file", record.version.fileVersionMS, record.version.fileVersionLS);
  parse("product", record.version.productVersionMS, record.version.productVersionLS);
  record.version.languageId =
      static_cast<uint32_t>(reader.Integer(given, "language", name + ".version.language", 0, 0xFFFFFFFFll).value_or(0));
}

void ReadTimes(const Reader& reader, const toml::table& entry, const std::string& name, ProjectFile& file) {
  const toml::node* times = entry.get("times");
  if (!times) return;
  file.record.optionFlags |= kOptionTimes;
  if (times->is_string() && **times->as_string() == "source") {
    file.timesFromSource = true;
    return;
  }
  if (!times->is_table()) reader.Fail(times, name + ".times must be \"source\" or a table of three date-times");
  const toml::table& given = *times->as_table();
  reader.OnlyKeys(given, name + ".times", {"creation", "access", "write"});
  auto parse = [&](const char* key, uint64_t& filetime) {
    const toml::node* node = given.get(key);
    if (!node) reader.Fail(times, name + ".times needs creation, access and write");
    std::string text, problem;
    if (node->is_string()) {
      text = **node->as_string();
    } else if (node->is_date_time() && node->as_date_time()->get().offset &&
               node->as_date_time()->get().offset->minutes == 0) {
      const toml::date_time& dt = node->as_date_time()->get();
      char buffer[48];
      snprintf(buffer, sizeof(buffer), "%04u-%02u-%02uT%02u:%02u:%02u.%09uZ", dt.date.year, dt.date.month,
               dt.date.day, dt.time.hour, dt.time.minute, dt.time.second, dt.time.nanosecond);
      text = buffer;
    } else {
      reader.Fail(node, name + ".times." + key + " must be a UTC date-time such as 2026-01-31T12:00:00Z");
    }
    if (!ParseFileTime(text, filetime, problem)) reader.Fail(node, name + ".times." + key + ": " + problem);
  };
  parse("creation", file.record.times.creationTime);
  parse("access", file.record.times.lastAccessTime);
  parse("write", file.record.times.lastWriteTime);
}

// The settings of one [[file]] entry that apply to every file it expands to.
ProjectFile ReadFileSettings(const Reader& reader, const toml::table& entry, const std::string& name) {
  ProjectFile file;
  file.where = reader.Where(entry);
  FileRecordInfo& record = file.record;
  record.destinationKind = static_cast<uint8_t>(
      reader.Choice(entry, "destination", name + ".destination", {"install", "windows", "system", "fonts"}).value_or(0));
  record.launchRole = static_cast<uint8_t>(
      reader.Choice(entry, "launch", name + ".launch", {"none", "finish", "run-after"}).value_or(0));
  record.uninstallMode = static_cast<uint8_t>(
      reader.Choice(entry, "uninstall", name + ".uninstall", {"keep", "remove", "external"}).value_or(kUninstallRemove));
  record.registerKind = static_cast<uint8_t>(
      reader.Choice(entry, "register", name + ".register", {"none", "screen-saver", "self"}).value_or(0));
  record.trackShared = reader.Bool(entry, "shared", name + ".shared").value_or(false) ? 1 : 0;
  if (record.trackShared && record.destinationKind == kDestInstallDir)
    reader.Fail(entry.get("shared"), name + ".shared counts uses only for files outside the installation folder");
  // A per-user setup writes nothing that belongs to the whole machine.
  if (reader.perUser && (record.destinationKind == kDestWindows || record.destinationKind == kDestSharedSystem))
    reader.Fail(entry.get("destination"), name + ".destination: a setup with scope = \"user\" installs nothing "
                                                 "into the Windows or system folder, which belong to the machine");
  if (reader.perUser && record.trackShared)
    reader.Fail(entry.get("shared"), name + ".shared: a setup with scope = \"user\" keeps no shared-use counts, "
                                            "which belong to the machine");
  if (reader.Bool(entry, "uninstaller", name + ".uninstaller").value_or(false))
    record.optionFlags |= kOptionUninstaller;
  ReadVersion(reader, entry, name, file);
  ReadTimes(reader, entry, name, file);
  ReadShortcuts(reader, entry, name, record);
  return file;
}

// Files below folder whose names match pattern, sorted so the output does
// not depend on the order the file system lists them in. Each folder is
// entered once (by device and inode), so links that loop add nothing, and
// the walk stays on the source folder's device (no /proc below "/").
struct FolderWalk {
  std::string folder, pattern;
  bool recursive;
  dev_t device;
  std::set<std::pair<dev_t, ino_t>> visited;
  std::vector<std::string> found;
};

void ListFolder(FolderWalk& walk, const std::string& relative) {
  std::vector<std::string> names;
  if (DIR* dir = opendir((walk.folder + relative).c_str())) {
    while (dirent* e = readdir(dir))
      if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::string rel = relative.empty() ? n : relative + "/" + n;
    struct stat st;
    if (stat((walk.folder + rel).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (walk.recursive && st.st_dev == walk.device && walk.visited.emplace(st.st_dev, st.st_ino).second)
        ListFolder(walk, rel);
    } else if (S_ISREG(st.st_mode) && fnmatch(walk.pattern.c_str(), n.c_str(), 0) == 0) {
      walk.found.push_back(rel);
    }
  }
}

// An uninstaller marked by hand: one only, directly in the installation
// folder.
void CheckUninstallerFile(const Reader& reader, const toml::table& entry, const std::string& name,
                          const Project& project, const ProjectFile& file) {
  for (const ProjectFile& other : project.files)
    if (other.record.optionFlags & kOptionUninstaller)
      reader.Fail(entry.get("uninstaller"), name + " is a second uninstaller (the first is at " + other.where + ")");
  if (file.record.destinationKind != kDestInstallDir)
    reader.Fail(entry.get("destination"), name + ": the uninstaller must go to the installation folder (destination "
                                                 "\"install\")");
  if (file.record.strings[kStringFileName].find('\\') != std::string::npos)
    reader.Fail(entry.get("target") ? entry.get("target") : &entry, name + ": its target " + kUninstallerPlace);
}

void ReadFiles(const Reader& reader, const toml::table& root, Project& project) {
  const toml::node* files = root.get("file");
  if (!files) return;
  if (!files->is_array_of_tables()) reader.Fail(files, "file entries are written as [[file]] tables");
  size_t number = 0;
  for (const toml::node& node : *files->as_array()) {
    const toml::table& entry = *node.as_table();
    std::string name = "file #" + std::to_string(++number);
    reader.OnlyKeys(entry, "[[file]]",
                    {"source", "target", "destination", "launch", "uninstall", "shared", "register", "uninstaller",
                     "check_version", "check_language", "version", "times", "start_menu", "desktop", "pattern",
                     "recursive", "size"});
    ProjectFile settings = ReadFileSettings(reader, entry, name);
    std::optional<std::string> source = reader.String(entry, "source", name + ".source", 4096);
    std::optional<std::string> target = reader.String(entry, "target", name + ".target", 4096);
    const bool external = settings.record.uninstallMode == kUninstallExternal;
    if (external) {
      if (!target) reader.Fail(&entry, name + " is external and needs a target (its name beside the setup)");
      settings.externalSize = reader.Integer(entry, "size", name + ".size", 0, 0xFFFFFFFFll);
      if (source) settings.source = Resolve(project, *source);
      settings.record.strings[kStringFileName] = CheckTargetName(reader, entry.get("target"), *target);
      project.files.push_back(settings);
      continue;
    }
    if (!source) reader.Fail(&entry, name + " needs a source");
    if (entry.get("size")) reader.Fail(entry.get("size"), name + ".size is only for external files");
    std::string path = Resolve(project, *source);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) reader.Fail(entry.get("source"), name + ": " + path + " does not exist");
    if (!S_ISDIR(st.st_mode)) {
      if (entry.get("pattern") || entry.get("recursive"))
        reader.Fail(&entry, name + ": pattern and recursive are for a folder source");
      settings.source = path;
      std::string targetName = target ? *target : std::filesystem::path(path).filename().string();
      settings.record.strings[kStringFileName] = CheckTargetName(reader, entry.get("target"), targetName);
      if (settings.record.optionFlags & kOptionUninstaller) CheckUninstallerFile(reader, entry, name, project, settings);
      project.files.push_back(settings);
      continue;
    }
    // A folder: every matching file below it, under the target folder.
    const FileRecordInfo& r = settings.record;
    if (r.launchRole || (r.optionFlags & kOptionUninstaller) || !r.strings[kStringMenuShortcutName].empty() ||
        !r.strings[kStringDesktopShortcutName].empty())
      reader.Fail(&entry, name + ": a folder source cannot carry launch, uninstaller or shortcuts (name the file "
                                 "itself in an entry of its own)");
    std::string pattern = reader.String(entry, "pattern", name + ".pattern").value_or("*");
    bool recursive = reader.Bool(entry, "recursive", name + ".recursive").value_or(true);
    FolderWalk walk{path + "/", pattern, recursive, st.st_dev, {{st.st_dev, st.st_ino}}, {}};
    ListFolder(walk, "");
    const std::vector<std::string>& found = walk.found;
    if (found.empty()) reader.Fail(entry.get("source"), name + ": no file in " + path + " matches " + pattern);
    for (const std::string& rel : found) {
      ProjectFile file = settings;
      file.source = path + "/" + rel;
      std::string targetName = target && !target->empty() ? *target + "\\" + rel : rel;
      file.record.strings[kStringFileName] = CheckTargetName(reader, entry.get("source"), targetName, true);
      project.files.push_back(file);
    }
  }
}

// The uninstaller's English texts, with the project's title where they name
// the program; the order of kUninstallerTextNames.
std::vector<std::string> DefaultUninstallerTexts(const std::string& title) {
  return {
      title + " Uninstall",
      "Do you want to remove " + title + " and all of its components from your computer?",
      title + " was removed from your computer.",
      title + " was removed from your computer. Some of its files are in use; they will be removed when Windows "
              "restarts.",
      "Some parts of " + title + " could not be removed. You can delete them yourself.",
      "The uninstall information of " + title + " is damaged. Nothing was removed.",
      "This program holds no uninstall information: it was not installed by a setup. Nothing was removed.",
      "Unknown command-line argument. Use /S to remove " + title + " without questions.",
  };
}

void ReadUninstaller(const Reader& reader, const toml::table& root, Project& project) {
  const toml::table* table = reader.Table(root, "uninstaller", "[uninstaller]");
  if (!table) return;
  reader.OnlyKeys(*table, "[uninstaller]", {"target", "start_menu", "texts"});
  for (const ProjectFile& file : project.files)
    if (file.record.optionFlags & kOptionUninstaller)
      reader.Fail(table, "[uninstaller] adds Setvik's uninstaller, but " + file.where +
                             " already marks a file as the uninstaller; keep one of them");
  // The uninstaller removes only an installation whose Uninstall entry
  // names it, so that a copy of it elsewhere removes nothing.
  if (!project.uninstallName || project.uninstallName->empty())
    reader.Fail(table, "[uninstaller] needs setup.uninstall_name: Setvik's uninstaller removes an installation "
                       "only through its entry in the list of installed programs");
  ProjectUninstaller uninstaller;
  uninstaller.where = reader.Where(*table);
  FileRecordInfo& record = uninstaller.record;
  record.uninstallMode = kUninstallRemove;
  record.optionFlags = kOptionUninstaller;
  record.strings[kStringFileName] = CheckTargetName(
      reader, table->get("target"), reader.String(*table, "target", "uninstaller.target").value_or("uninstall.exe"));
  if (record.strings[kStringFileName].find('\\') != std::string::npos)
    reader.Fail(table->get("target"), "uninstaller.target " + kUninstallerPlace);
  ReadShortcuts(reader, *table, "uninstaller", record);
  uninstaller.texts = DefaultUninstallerTexts(project.title);
  if (const toml::table* texts = reader.Table(*table, "texts", "uninstaller.texts")) {
    for (const auto& [key, value] : *texts) {
      uint32_t index = 0;
      while (index < kUninstallerTextCount && key.str() != kUninstallerTextNames[index]) ++index;
      const std::string name = "uninstaller.texts." + std::string(key.str());
      if (index == kUninstallerTextCount)
        reader.Fail(&value, "unknown text '" + name + "' (docs/project-file.md lists the uninstaller's texts)");
      std::optional<std::string> text = reader.Text(*texts, std::string(key.str()).c_str(), name,
                                                      kUninstallerTextMaxLength);
      if (text->empty()) reader.Fail(&value, "text '" + name + "' is empty");
      uninstaller.texts[index] = *text;
    }
  }
  project.uninstaller = uninstaller;
}

// Windows compares names without regard to case: ASCII and the letters of
// code page 1252 (à-þ as À-Þ, š œ ž ÿ as Š Œ Ž Ÿ).
std::string FoldName(std::string name) {
  for (char& c : name) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) c = static_cast<char>(b - 0x20);
    else if (b == 0x9A || b == 0x9C || b == 0x9E) c = static_cast<char>(b - 0x10);
    else if (b == 0xFF) c = static_cast<char>(0x9F);
  }
  return name;
}

// The record whose file the Uninstall entry's icon is: the [[file]] (or the
// uninstaller) whose target the setting names, compared as Windows
// compares names, in table order.
void FindIconRecord(const Reader& reader, const toml::table& root, Project& project) {
  if (!project.icon) return;
  const std::string wanted = FoldName(*project.icon);
  uint32_t index = 0;
  for (const ProjectFile& file : project.files) {
    if (FoldName(file.record.strings[kStringFileName]) == wanted) {
      project.iconRecord = index;
      return;
    }
    ++index;
  }
  if (project.uninstaller && FoldName(project.uninstaller->record.strings[kStringFileName]) == wanted) {
    project.iconRecord = index;
    return;
  }
  const toml::table* setup = root["setup"].as_table();
  reader.Fail(setup ? setup->get("icon") : nullptr,
              "setup.icon " + Shown(*project.icon) + " names no file of the setup (give a [[file]] target)");
}

// No two files land on one path, and no file's path is a folder of
// another: per destination, names compared as Windows compares them. In
// the system folder only the name after the last backslash counts.
void CheckTargets(const Project& project) {
  struct Target {
    const FileRecordInfo* record;
    const std::string* where;
  };
  std::vector<Target> targets;
  for (const ProjectFile& file : project.files) targets.push_back({&file.record, &file.where});
  if (project.uninstaller) targets.push_back({&project.uninstaller->record, &project.uninstaller->where});
  std::map<std::string, const Target*> files, folders;
  for (const Target& t : targets) {
    std::string name = t.record->strings[kStringFileName];
    if (t.record->destinationKind == kDestSharedSystem) name = name.substr(name.find_last_of('\\') + 1);
    const std::string key = std::to_string(t.record->destinationKind) + ":" + FoldName(name);
    const char* kinds[] = {"installation folder", "Windows folder", "system folder", "fonts folder"};
    const std::string place = std::string(" in the ") + kinds[t.record->destinationKind & 3];
    auto same = files.emplace(key, &t);
    if (!same.second)
      throw ProjectError{*t.where + ": the target " + Shown(name) + place + " is also the target of " +
                         *same.first->second->where + " (names that differ only in case are the same file)"};
    if (folders.count(key))
      throw ProjectError{*t.where + ": the target " + Shown(name) + place + " is a folder of " +
                         *folders[key]->where + "'s target"};
    for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
      const std::string folder = key.substr(0, at);
      folders.emplace(folder, &t);
      if (files.count(folder))
        throw ProjectError{*t.where + ": the target " + Shown(name) + place + " lies in a folder that " +
                           *files[folder]->where + " installs as a file"};
    }
  }
}

}  // namespace

const char* const kUninstallerTextNames[] = {"caption", "confirm",    "done",    "done_restart",
                                             "incomplete", "damaged", "no_log", "bad_arguments"};
static_assert(sizeof(kUninstallerTextNames) / sizeof(kUninstallerTextNames[0]) == kUninstallerTextCount);

bool Project::HasUninstallEntry() const {
  for (const std::optional<std::string>& text : entryTexts)
    if (text) return true;
  return icon.has_value();
}

std::optional<uint32_t> RegistryRootByName(const std::string& name) {
  static const struct { const char* longName; const char* shortName; uint32_t value; } kRoots[] = {
      {"HKEY_CLASSES_ROOT", "HKCR", 0},
      {"HKEY_CURRENT_USER", "HKCU", 1},
      {"HKEY_LOCAL_MACHINE", "HKLM", 2},
      {"HKEY_USERS", "HKU", 3},
  };
  for (const auto& root : kRoots)
    if (name == root.longName || name == root.shortName) return root.value;
  return std::nullopt;
}

bool LoadProject(const std::string& path, Project& project, std::string& error) {
  project = Project{};
  project.path = path;
  project.directory = std::filesystem::path(path).parent_path().string();
  if (project.directory.empty()) project.directory = ".";
  Reader reader(path);
  try {
    toml::table root;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error, kMaxProjectFile)) return false;
    try {
      root = toml::parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
    } catch (const toml::parse_error& e) {
      const auto& where = e.source().begin;
      error = path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": " +
              std::string(e.description());
      return false;
    }
    reader.OnlyKeys(root, "the project file",
                    {"setup", "folder_memory", "background", "frame", "dialogs", "texts", "volumes", "file",
                     "uninstaller"});
    ReadSetup(reader, root, project);
    ReadFolderMemory(reader, root, project);
    ReadPictures(reader, root, project);
    ReadTexts(reader, root, project);
    ReadFiles(reader, root, project);
    ReadUninstaller(reader, root, project);
    CheckTargets(project);
    FindIconRecord(reader, root, project);
  } catch (const ProjectError& e) {
    error = e.message;
    return false;
  }
  return true;
}
