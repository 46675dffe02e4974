// Dialog templates for the DialogTemplates chunk: reading compiled resource
// files (.res, as windres writes them from a resource script), checking the
// nine templates the wizard creates its windows from, and packing them into
// the chunk body (setupdata/Format.h): a u32 offset per template number,
// then the templates back to back.
//
// What the checks promise: a template that passes parses as a standard
// (not extended) in-memory dialog template with a font, every item lies
// inside it, and it carries the controls that the wizard code looks up by
// id, of the kind that code expects (the table in DialogTemplates.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "setupdata/Format.h"

// Templates indexed by template number: 0 and 1 the frame dialog (windowed,
// full screen), 2 directory page, 3 information page, 4 progress page,
// 5 welcome and confirmation pages, 6 finish page, 7 folder browser,
// 8 closing page.
using DialogTemplateSet = std::array<std::vector<uint8_t>, kDialogTemplateCount>;

// The .res image of authoring/dialogs/default.rc, compiled by the build.
std::span<const uint8_t> DefaultDialogResources();

// What a template is used for ("directory page", ...); "" beyond 8.
const char* DialogTemplateRole(uint32_t number);

// One control of a parsed template. A class or title given as an ordinal
// has the ordinal set and the text empty; windowClass holds the ordinal of
// the predefined classes (0x80 button, 0x81 edit, 0x82 static, 0x83 list
// box, 0x84 scroll bar, 0x85 combo box) or 0 for a class given by name.
struct DialogItem {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t id = 0;
  uint16_t classOrdinal = 0;
  std::string className;  // UTF-8
  uint16_t titleOrdinal = 0;
  std::string title;  // UTF-8
  uint16_t creationDataSize = 0;
};

struct DialogTemplateInfo {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  bool hasMenu = false;
  bool hasClass = false;
  std::string title;  // UTF-8
  uint16_t pointSize = 0;
  std::string faceName;  // UTF-8
  std::vector<DialogItem> items;

  // The first item with this id, or null.
  const DialogItem* Find(uint16_t id) const;
};

// Parses a standard in-memory dialog template. Fails with a message such as
// "item 3 runs past the end of the template" (items count from 1) when the
// bytes are not one; a template without DS_SETFONT parses (it has no font
// entry) and is refused by CheckDialogTemplate.
bool ParseDialogTemplate(std::span<const uint8_t> bytes, DialogTemplateInfo& info, std::string& error);

// Parses template `number` and checks what the wizard needs of it: the
// standard form with a font, no menu and no private window class, a visible
// child dialog (a popup for the folder browser), and the required controls.
// Messages begin with "template <number>".
bool CheckDialogTemplate(uint32_t number, std::span<const uint8_t> bytes, std::string& error);

// The DIALOG resources with ordinal names 0 to 8 of a .res image; other
// resources are passed over. Fails when the image is not a 32-bit resource
// file, is damaged, lacks one of the nine dialogs or holds one twice.
bool ExtractDialogs(std::span<const uint8_t> res, DialogTemplateSet& templates, std::string& error);

// Lays out the chunk body: offsets of templates 0-8, then the templates in
// number order, identical templates stored once. Fails when a template is
// empty or when a template's offset lies more than kDialogTemplateBlockSize
// bytes before the end of the body (the wizard copies no more than that).
// Templates are not checked here.
bool PackDialogTemplates(const DialogTemplateSet& templates, std::vector<uint8_t>& body, std::string& error);

// ExtractDialogs, CheckDialogTemplate for each, PackDialogTemplates.
bool DialogTemplatesBody(std::span<const uint8_t> res, std::vector<uint8_t>& body, std::string& error);

// Compiles a resource script into a .res image with the windres found on
// PATH (i686-w64-mingw32-windres, else windres), the script read as UTF-8
// and its folder searched for included files. Fails with windres's own
// messages when it refuses the script.
bool CompileResourceScript(const std::string& rcPath, std::vector<uint8_t>& res, std::string& error);

// Reads a .res file as it is (ExtractDialogs checks it).
bool ReadResourceFile(const std::string& resPath, std::vector<uint8_t>& res, std::string& error);
