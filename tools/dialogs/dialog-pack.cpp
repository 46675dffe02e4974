// Packs dialog templates into a DialogTemplates chunk body and lists what
// each template holds; the body is what tools/dialogs/dialog-view.exe shows.
//   dialog-pack (--default | file.rc | file.res) body.bin
// Built by hand (tools/dialogs/dialog-screenshots.sh does it):
//   clang++ -std=c++20 -I. tools/dialogs/dialog-pack.cpp authoring/DialogTemplates.cpp
//           authoring/ResourceCompiler.cpp build/<host>/dialogs/DefaultDialogs.cpp
#include <stdio.h>

#include <string>

#include "authoring/DialogTemplates.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: dialog-pack (--default | file.rc | file.res) body.bin\n");
    return 2;
  }
  std::string input = argv[1], error;
  std::vector<uint8_t> res;
  bool ok = true;
  if (input == "--default") {
    std::span<const uint8_t> bytes = DefaultDialogResources();
    res.assign(bytes.begin(), bytes.end());
  } else if (input.size() > 3 && input.compare(input.size() - 3, 3, ".rc") == 0) {
    ok = CompileResourceScript(input, res, error);
  } else {
    ok = ReadResourceFile(input, res, error);
  }
  DialogTemplateSet templates;
  std::vector<uint8_t> body;
  if (!ok || !ExtractDialogs(res, templates, error) || !DialogTemplatesBody(res, body, error)) {
    fprintf(stderr, "dialog-pack: %s\n", error.c_str());
    return 1;
  }
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    DialogTemplateInfo info;
    ParseDialogTemplate(templates[n], info, error);
    printf("template %u (%s): %zu bytes, style %08X, %d x %d, font %u \"%s\", \"%s\"\n", n, DialogTemplateRole(n),
           templates[n].size(), info.style, info.cx, info.cy, info.pointSize, info.faceName.c_str(),
           info.title.c_str());
    for (const DialogItem& item : info.items) {
      printf("  %5u  class %-8s style %08X  %3d,%3d %3dx%-3d  \"%s\"\n", item.id,
             item.className.empty() ? std::to_string(item.classOrdinal).c_str() : item.className.c_str(),
             item.style, item.x, item.y, item.cx, item.cy, item.title.c_str());
    }
  }
  FILE* out = fopen(argv[2], "wb");
  if (out == nullptr || fwrite(body.data(), 1, body.size(), out) != body.size() || fclose(out) != 0) {
    fprintf(stderr, "dialog-pack: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("body: %zu bytes\n", body.size());
  return 0;
}
