// The write decision against the version resources of two test libraries
// (versiondlls/): VersionNewer with product 2.0.0.0, file 1.0.0.2 and
// language 0x0409; VersionHighBit with product 0x80000000:0, file
// 0x00010000:0x80000000 and language 0x0407.
#include <algorithm>

#include "install/OverwriteRules.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

uint32_t Word(uint32_t high, uint32_t low) { return high << 16 | low; }

// Product version first, then file version, compared as unsigned words;
// then the language. Questions (Yes/No): V the version's, L the language's
// (its "%d" is not a number slot: only "%s" takes TargetPath). Any answer
// but Yes skips.
TEST_F(PathBuffersTest, OverwriteVersionThenLanguageQuestions) {
  std::vector<std::string> texts(31);
  texts[29] = "Newer: %s";
  texts[30] = "Language: %s %d";
  SetTextGroup(kTextGroupMessages, texts);
  const std::string plain = WriteTextFile(TempFolder() + "setvik-plain.txt", "text");
  const std::string files[] = {TestProgramFolder() + "wintest\\VersionNewer.dll",
                               TestProgramFolder() + "wintest\\VersionHighBit.dll", plain};
  enum File { kNewer, kHighBit, kPlain };
  const struct {
    File file;
    uint8_t checks;
    uint32_t productMS, productLS, fileMS, fileLS, language;
    std::initializer_list<int> answers;
    bool write;
    const char* asked;
  } cases[] = {
      {kNewer, 0x02, Word(1, 9), Word(9, 9), Word(9, 9), Word(9, 9), 0x0409, {kAnswerNo}, false, "V"},
      {kNewer, 0x02, Word(2, 0), 0, Word(1, 0), Word(0, 2), 0x0409, {}, true, ""},
      {kNewer, 0x02, Word(2, 0), Word(0, 1), 0, 0, 0x0409, {}, true, ""},  // newer product beats older file
      {kHighBit, 0x02, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x0409, {kAnswerNo}, false, "V"},
      {kHighBit, 0x02, 0x80000000, 0, 0x00010000, 0x7FFFFFFF, 0x0409, {kAnswerCancel}, false, "V"},
      // Language only: the versions are not compared; the word is widened,
      // not masked, so a code page in the high half differs.
      {kNewer, 0x04, 0, 0, 0, 0, 0x04B00409, {kAnswerNo}, false, "L"},
      // Both: No to the version question skips without the second.
      {kNewer, 0x06, 0, 0, 0, 0, 0x0407, {kAnswerNo}, false, "V"},
      {kNewer, 0x06, 0, 0, 0, 0, 0x0407, {kAnswerYes, kAnswerYes}, true, "VL"},
      {kPlain, 0x06, 0, 0, 0, 0, 0x0407, {}, true, ""},  // no version resource: no objection
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const std::string& target = files[c.file];
    TestRecord record;
    record.optionFlags = c.checks;
    const uint32_t version[5] = {c.fileMS, c.fileLS, c.productMS, c.productLS, c.language};
    std::copy(version, version + 5, record.version);
    lstrcpynA(TargetPath, target.c_str(), kPathBufferSize);
    Script(c.answers);
    EXPECT_EQ(CheckVersions(BuildRecord(record).data()), c.write);
    std::string expected, asked;
    for (const char* q = c.asked; *q; ++q) expected += *q == 'V' ? "Newer: " + target : "Language: " + target + " %d";
    for (const PlatformDouble::ShownMessage& shown : Shown()) {
      asked += shown.text;
      EXPECT_EQ(shown.boxType, 0x24u);
    }
    EXPECT_EQ(asked, expected);
  }
  DeleteFileA(plain.c_str());
}

}  // namespace
