// Dialog templates: the .res reader, the template parser and checks, and
// the packer of the DialogTemplates chunk body. Running windres lives in
// ResourceCompiler.cpp.
//
// A template is the platform's standard in-memory dialog template:
//
//   u32 style, u32 exStyle, u16 itemCount, i16 x, y, cx, cy
//   menu, class      each 0x0000 (none), 0xFFFF + u16 ordinal, or UTF-16 text
//   title            UTF-16 text
//   font             u16 point size + UTF-16 face name, when DS_SETFONT is set
//   items            each starting on a 4-byte boundary (counted from the
//                    template's start; the wizard copies a template to the
//                    start of a fresh block before it uses it):
//     u32 style, u32 exStyle, i16 x, y, cx, cy, u16 id
//     class, title   0xFFFF + u16 ordinal, or UTF-16 text
//     u16 n          then n bytes of creation data
//
// An extended template (DIALOGEX) starts with u16 1, u16 0xFFFF instead.
#include "authoring/DialogTemplates.h"

#include <initializer_list>

extern const unsigned char kDefaultDialogRes[];
extern const size_t kDefaultDialogResSize;

std::span<const uint8_t> DefaultDialogResources() {
  return {kDefaultDialogRes, kDefaultDialogResSize};
}

namespace {

const uint32_t kStyleChild = 0x40000000;    // WS_CHILD
const uint32_t kStyleVisible = 0x10000000;  // WS_VISIBLE
const uint32_t kStyleCaption = 0x00C00000;  // WS_CAPTION
const uint32_t kStyleSetFont = 0x00000040;  // DS_SETFONT
const uint32_t kStyleControl = 0x00000400;  // DS_CONTROL
const uint16_t kResourceTypeDialog = 5;     // RT_DIALOG
const uint32_t kDialogHeaderSize = 18;
const uint32_t kItemHeaderSize = 18;
const uint32_t kTemplateFolderBrowser = 7;
const uint32_t kTemplateClosingPage = 8;

// ---------------------------------------------------------------------------
// Reading words out of a byte range; every read checks the bytes left.

struct Cursor {
  std::span<const uint8_t> bytes;
  size_t pos = 0;

  bool Has(size_t n) const { return pos <= bytes.size() && n <= bytes.size() - pos; }
  bool Word(uint16_t& value) {
    if (!Has(2)) return false;
    value = ReadU16Le(bytes.data() + pos);
    pos += 2;
    return true;
  }
  bool Dword(uint32_t& value) {
    if (!Has(4)) return false;
    value = ReadU32Le(bytes.data() + pos);
    pos += 4;
    return true;
  }
  bool Short(int16_t& value) {
    uint16_t word;
    if (!Word(word)) return false;
    value = static_cast<int16_t>(word);
    return true;
  }
  void AlignDword() { pos = (pos + 3) & ~static_cast<size_t>(3); }
};

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A zero-terminated UTF-16 text, as UTF-8; a lone surrogate becomes U+FFFD.
bool ReadText(Cursor& cursor, std::string& text) {
  text.clear();
  uint16_t unit;
  uint32_t pendingHigh = 0;
  for (;;) {
    if (!cursor.Word(unit)) return false;
    if (pendingHigh != 0) {
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        AppendUtf8(text, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
        pendingHigh = 0;
        continue;
      }
      AppendUtf8(text, 0xFFFD);
      pendingHigh = 0;
    }
    if (unit == 0) return true;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      pendingHigh = unit;
    } else {
      AppendUtf8(text, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
  }
}

// A field that is either an ordinal (0xFFFF, u16) or a text; 0x0000 alone
// is the empty text. present tells whether anything but 0x0000 was there.
bool ReadNameOrOrdinal(Cursor& cursor, bool& present, uint16_t& ordinal, std::string& text) {
  uint16_t first;
  ordinal = 0;
  text.clear();
  if (!cursor.Has(2)) return false;
  first = ReadU16Le(cursor.bytes.data() + cursor.pos);
  present = first != 0;
  if (first == 0xFFFF) {
    cursor.pos += 2;
    return cursor.Word(ordinal);
  }
  return ReadText(cursor, text);
}

bool ParseItem(Cursor& cursor, DialogItem& item) {
  if (!cursor.Has(kItemHeaderSize)) return false;
  cursor.Dword(item.style);
  cursor.Dword(item.exStyle);
  cursor.Short(item.x);
  cursor.Short(item.y);
  cursor.Short(item.cx);
  cursor.Short(item.cy);
  cursor.Word(item.id);
  bool present;
  if (!ReadNameOrOrdinal(cursor, present, item.classOrdinal, item.className)) return false;
  if (!ReadNameOrOrdinal(cursor, present, item.titleOrdinal, item.title)) return false;
  if (!cursor.Word(item.creationDataSize)) return false;
  size_t dataBytes = (item.creationDataSize + 1u) & ~1u;
  if (!cursor.Has(dataBytes)) return false;
  cursor.pos += dataBytes;
  return true;
}

// ---------------------------------------------------------------------------
// The controls the wizard code looks up in each template.

enum class Kind : uint8_t { Any, Button, Edit, Static, ListBox, ComboBox };

struct RequiredControl {
  uint16_t id;
  Kind kind;
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Button: return "button";
    case Kind::Edit: return "edit";
    case Kind::Static: return "static";
    case Kind::ListBox: return "list box";
    case Kind::ComboBox: return "combo box";
    case Kind::Any: break;
  }
  return "control";
}

std::string WithArticle(const char* noun) {
  return std::string(noun[0] == 'e' ? "an " : "a ") + noun;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

Kind KindOf(const DialogItem& item) {
  switch (item.classOrdinal) {
    case 0x80: return Kind::Button;
    case 0x81: return Kind::Edit;
    case 0x82: return Kind::Static;
    case 0x83: return Kind::ListBox;
    case 0x85: return Kind::ComboBox;
    default: break;
  }
  if (EqualsIgnoringCase(item.className, "BUTTON")) return Kind::Button;
  if (EqualsIgnoringCase(item.className, "EDIT")) return Kind::Edit;
  if (EqualsIgnoringCase(item.className, "STATIC")) return Kind::Static;
  if (EqualsIgnoringCase(item.className, "LISTBOX")) return Kind::ListBox;
  if (EqualsIgnoringCase(item.className, "COMBOBOX")) return Kind::ComboBox;
  return Kind::Any;
}

std::string DescribeKind(const DialogItem& item) {
  Kind kind = KindOf(item);
  if (kind != Kind::Any) return WithArticle(KindName(kind));
  if (!item.className.empty()) return "of class \"" + item.className + "\"";
  return "of class " + std::to_string(item.classOrdinal);
}

using RequiredList = std::initializer_list<RequiredControl>;

// Texts 1000 to 1003 are filled "when present" on every page and are
// required only where a page moves them or writes into them itself.
const RequiredList kFrameControls = {
    {1, Kind::Button}, {2, Kind::Button}, {1007, Kind::Button}, {1006, Kind::Any}};
const RequiredList kDirectoryControls = {
    {1004, Kind::Edit}, {1005, Kind::Button}, {1016, Kind::Any},
    {1017, Kind::Any},  {1018, Kind::Any},    {1019, Kind::Any}};
const RequiredList kInformationControls = {{1000, Kind::Any}};
const RequiredList kProgressControls = {{1008, Kind::Any}, {1009, Kind::Any}, {1010, Kind::Any}};
const RequiredList kTextPageControls = {
    {1000, Kind::Any}, {1001, Kind::Any}, {1002, Kind::Any}, {1003, Kind::Any}};
const RequiredList kFinishControls = {
    {1000, Kind::Any}, {1001, Kind::Any},    {1014, Kind::Button},
    {1002, Kind::Any}, {1015, Kind::Button}, {1003, Kind::Any}};
const RequiredList kFolderBrowserControls = {
    {1, Kind::Button},     {2, Kind::Button},     {101, Kind::Edit},       {1009, Kind::Any},
    {1091, Kind::Any},     {1121, Kind::ListBox}, {1137, Kind::ComboBox},  {1152, Kind::Edit},
    {1120, Kind::ListBox}, {1088, Kind::Any},     {1089, Kind::Any},       {1136, Kind::ComboBox},
    {1038, Kind::Button},  {1040, Kind::Button}};
const RequiredList kClosingControls = {{1005, Kind::Any}, {1006, Kind::Button}};

const RequiredList kRequiredControls[kDialogTemplateCount] = {
    kFrameControls,    kFrameControls,  kDirectoryControls,     kInformationControls, kProgressControls,
    kTextPageControls, kFinishControls, kFolderBrowserControls, kClosingControls};

std::string TemplateLabel(uint32_t number) {
  return "template " + std::to_string(number) + " (" + DialogTemplateRole(number) + ")";
}

bool CheckStyle(uint32_t number, const DialogTemplateInfo& info, std::string& error) {
  std::string label = TemplateLabel(number);
  if ((info.style & kStyleSetFont) == 0) {
    error = label + " has no font: DS_SETFONT is not set (give the DIALOG a FONT statement)";
    return false;
  }
  if (info.hasMenu) {
    error = label + " names a menu; the wizard's dialogs have none";
    return false;
  }
  if (info.hasClass) {
    error = label + " names a window class of its own; the setup program registers none";
    return false;
  }
  if ((info.style & kStyleControl) != 0 && (info.style & kStyleCaption) != 0) {
    error = label + " has both DS_CONTROL and a caption; the dialog manager drops the caption of a DS_CONTROL dialog";
    return false;
  }
  bool child = (info.style & kStyleChild) != 0;
  if (number == kTemplateFolderBrowser) {
    if (child) {
      error = label + " is a child dialog (WS_CHILD); the save-file dialog needs a popup";
      return false;
    }
  } else if (!child || (info.style & kStyleVisible) == 0) {
    error = label + " is not a visible child dialog (WS_CHILD | WS_VISIBLE)";
    return false;
  }
  return true;
}

bool CheckControls(uint32_t number, const DialogTemplateInfo& info, std::string& error) {
  for (const RequiredControl& need : kRequiredControls[number]) {
    const DialogItem* item = info.Find(need.id);
    if (item == nullptr) {
      error = TemplateLabel(number) + " lacks control " + std::to_string(need.id);
      if (need.kind != Kind::Any) error += std::string(" (") + KindName(need.kind) + ")";
      return false;
    }
    if (need.kind != Kind::Any && KindOf(*item) != need.kind) {
      error = TemplateLabel(number) + ": control " + std::to_string(need.id) + " is " + DescribeKind(*item) +
              ", where " + WithArticle(KindName(need.kind)) + " is needed";
      return false;
    }
  }
  if (number == kTemplateClosingPage) {
    // Every page fills controls 1000 to 1003 with texts 1 to 4 of its text
    // group; the closing page's group is the message group.
    for (uint16_t id = 1000; id <= 1003; ++id) {
      if (info.Find(id) != nullptr) {
        error = TemplateLabel(number) + " has control " + std::to_string(id) + ", which would show text 6/" +
                std::to_string(id - 999) + " (a message); use other ids for its texts";
        return false;
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// The .res format: a sequence of resources, each a header and its data,
// every header starting on a 4-byte boundary:
//
//   u32 dataSize, u32 headerSize, type, name (each 0xFFFF + u16 ordinal or
//   UTF-16 text), padding to 4, u32 dataVersion, u16 memoryFlags,
//   u16 languageId, u32 version, u32 characteristics; data at headerSize.
//
// A 32-bit .res file begins with an empty resource (type 0, name 0, no
// data), which tells it from the 16-bit format.

struct Resource {
  size_t headerOffset = 0;
  bool typeIsOrdinal = false;
  uint16_t type = 0;
  bool nameIsOrdinal = false;
  uint16_t name = 0;
  uint16_t languageId = 0;
  std::span<const uint8_t> data;
};

bool ReadResourceId(Cursor& cursor, bool& isOrdinal, uint16_t& ordinal) {
  std::string text;
  bool present;
  if (!ReadNameOrOrdinal(cursor, present, ordinal, text)) return false;
  isOrdinal = present && text.empty();
  return true;
}

std::string At(size_t offset) { return "resource file, offset " + std::to_string(offset) + ": "; }

bool ReadResourceHeader(std::span<const uint8_t> res, size_t offset, Resource& resource, size_t& next,
                        std::string& error) {
  const size_t kFixedTail = 16;  // dataVersion .. characteristics
  if (res.size() - offset < 8) {
    error = At(offset) + "the file ends inside a resource header";
    return false;
  }
  uint64_t dataSize = ReadU32Le(res.data() + offset);
  uint64_t headerSize = ReadU32Le(res.data() + offset + 4);
  if (headerSize < 8 + 4 + 4 + kFixedTail || headerSize > res.size() - offset) {
    error = At(offset) + "the resource header runs past the end of the file (header size " +
            std::to_string(headerSize) + ")";
    return false;
  }
  Cursor cursor{res.subspan(offset, headerSize), 8};
  resource.headerOffset = offset;
  if (!ReadResourceId(cursor, resource.typeIsOrdinal, resource.type) ||
      !ReadResourceId(cursor, resource.nameIsOrdinal, resource.name)) {
    error = At(offset) + "the resource type or name runs past the end of its header";
    return false;
  }
  cursor.AlignDword();
  if (!cursor.Has(kFixedTail)) {
    error = At(offset) + "the resource header is too short for its type and name";
    return false;
  }
  resource.languageId = ReadU16Le(cursor.bytes.data() + cursor.pos + 6);
  if (dataSize > res.size() - offset - headerSize) {
    error = At(offset) + "the resource data (" + std::to_string(dataSize) + " bytes) runs past the end of the file";
    return false;
  }
  resource.data = res.subspan(offset + headerSize, dataSize);
  next = (offset + headerSize + dataSize + 3) & ~static_cast<size_t>(3);
  return true;
}

bool ReadResources(std::span<const uint8_t> res, std::vector<Resource>& resources, std::string& error) {
  resources.clear();
  Resource first;
  size_t offset = 0;
  std::string headerError;
  if (!ReadResourceHeader(res, 0, first, offset, headerError) || !first.typeIsOrdinal || first.type != 0 ||
      !first.nameIsOrdinal || first.name != 0 || !first.data.empty()) {
    error = "not a 32-bit resource file (.res): it does not begin with the empty resource";
    return false;
  }
  while (offset < res.size()) {
    Resource resource;
    if (!ReadResourceHeader(res, offset, resource, offset, error)) return false;
    resources.push_back(resource);
  }
  return true;
}

}  // namespace

const char* DialogTemplateRole(uint32_t number) {
  static const char* const kRoles[kDialogTemplateCount] = {
      "frame dialog, windowed", "frame dialog, full screen", "directory page",
      "information page",       "progress page",             "welcome and confirmation pages",
      "finish page",            "folder browser",            "closing page"};
  return number < kDialogTemplateCount ? kRoles[number] : "";
}

const DialogItem* DialogTemplateInfo::Find(uint16_t id) const {
  for (const DialogItem& item : items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

bool ParseDialogTemplate(std::span<const uint8_t> bytes, DialogTemplateInfo& info, std::string& error) {
  info = DialogTemplateInfo();
  if (bytes.size() >= 4 && ReadU16Le(bytes.data()) == 1 && ReadU16Le(bytes.data() + 2) == 0xFFFF) {
    error = "an extended template (DIALOGEX); the wizard takes the standard form (DIALOG)";
    return false;
  }
  Cursor cursor{bytes, 0};
  if (!cursor.Has(kDialogHeaderSize)) {
    error = "the header runs past the end of the template (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  uint16_t itemCount;
  cursor.Dword(info.style);
  cursor.Dword(info.exStyle);
  cursor.Word(itemCount);
  cursor.Short(info.x);
  cursor.Short(info.y);
  cursor.Short(info.cx);
  cursor.Short(info.cy);
  uint16_t ordinal;
  std::string text;
  if (!ReadNameOrOrdinal(cursor, info.hasMenu, ordinal, text) ||
      !ReadNameOrOrdinal(cursor, info.hasClass, ordinal, text) || !ReadText(cursor, info.title)) {
    error = "the menu, class or title runs past the end of the template";
    return false;
  }
  if ((info.style & kStyleSetFont) != 0 && (!cursor.Word(info.pointSize) || !ReadText(cursor, info.faceName))) {
    error = "the font runs past the end of the template";
    return false;
  }
  for (uint32_t i = 0; i < itemCount; ++i) {
    cursor.AlignDword();
    DialogItem item;
    if (!ParseItem(cursor, item)) {
      error = "item " + std::to_string(i + 1) + " runs past the end of the template";
      return false;
    }
    info.items.push_back(item);
  }
  return true;
}

bool CheckDialogTemplate(uint32_t number, std::span<const uint8_t> bytes, std::string& error) {
  if (number >= kDialogTemplateCount) {
    error = "template " + std::to_string(number) + ": the wizard has templates 0 to 8 only";
    return false;
  }
  DialogTemplateInfo info;
  if (!ParseDialogTemplate(bytes, info, error)) {
    error = "template " + std::to_string(number) + ": " + error;
    return false;
  }
  return CheckStyle(number, info, error) && CheckControls(number, info, error);
}

bool ExtractDialogs(std::span<const uint8_t> res, DialogTemplateSet& templates, std::string& error) {
  std::vector<Resource> resources;
  if (!ReadResources(res, resources, error)) return false;
  std::array<const Resource*, kDialogTemplateCount> found{};
  for (const Resource& resource : resources) {
    if (!resource.typeIsOrdinal || resource.type != kResourceTypeDialog || !resource.nameIsOrdinal ||
        resource.name >= kDialogTemplateCount) {
      continue;
    }
    if (const Resource* earlier = found[resource.name]) {
      error = "the resources hold dialog " + std::to_string(resource.name) + " twice (at offsets " +
              std::to_string(earlier->headerOffset) + " and " + std::to_string(resource.headerOffset) +
              "); give each template number one DIALOG";
      return false;
    }
    found[resource.name] = &resource;
  }
  std::string missing;
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    if (found[n] == nullptr) missing += (missing.empty() ? "" : ", ") + std::to_string(n);
  }
  if (!missing.empty()) {
    error = "the resources lack dialog template(s) " + missing + "; a setup needs DIALOGs 0 to 8";
    return false;
  }
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    templates[n].assign(found[n]->data.begin(), found[n]->data.end());
  }
  return true;
}

bool PackDialogTemplates(const DialogTemplateSet& templates, std::vector<uint8_t>& body, std::string& error) {
  const size_t kTableSize = kDialogTemplateCount * 4;
  std::array<size_t, kDialogTemplateCount> offsets{};
  body.assign(kTableSize, 0);
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    const std::vector<uint8_t>& bytes = templates[n];
    if (bytes.empty()) {
      error = "template " + std::to_string(n) + " is empty";
      return false;
    }
    if (bytes.size() > kDialogTemplateBlockSize) {
      error = "template " + std::to_string(n) + " takes " + std::to_string(bytes.size()) +
              " bytes; the wizard copies at most " + std::to_string(kDialogTemplateBlockSize) +
              " bytes of a template";
      return false;
    }
    // Identical templates share one copy: it keeps the body short, and
    // every byte counts against the limit below.
    uint32_t same = 0;
    while (same < n && templates[same] != bytes) ++same;
    if (same < n) {
      offsets[n] = offsets[same];
      continue;
    }
    offsets[n] = body.size();
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  // Whatever the order, the template stored first is followed by all the
  // others, so this comes down to the templates' total size.
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    size_t distance = body.size() - offsets[n];
    if (distance > kDialogTemplateBlockSize) {
      error = "template " + std::to_string(n) + " starts " + std::to_string(distance) +
              " bytes before the end of the dialog templates, more than the " +
              std::to_string(kDialogTemplateBlockSize) + " bytes the wizard copies from a template's start; the " +
              "templates take " + std::to_string(body.size() - kTableSize) + " bytes together";
      return false;
    }
    WriteU32Le(body.data() + 4 * n, static_cast<uint32_t>(offsets[n]));
  }
  return true;
}

bool DialogTemplatesBody(std::span<const uint8_t> res, std::vector<uint8_t>& body, std::string& error) {
  DialogTemplateSet templates;
  if (!ExtractDialogs(res, templates, error)) return false;
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    if (!CheckDialogTemplate(n, templates[n], error)) return false;
  }
  return PackDialogTemplates(templates, body, error);
}
