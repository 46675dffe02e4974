// The write decision against real version resources: two test libraries
// beside the test program (versiondlls/), VersionNewer with product 2.0.0.0,
// file 1.0.0.2 and language 0x0409, VersionHighBit with product
// 0x80000000:0, file 0x00010000:0x80000000 and language 0x0407. The
// questions are answered through the scripted ShowMessage.
#include <algorithm>

#include "install/OverwriteRules.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

uint32_t Word(uint32_t high, uint32_t low) { return high << 16 | low; }

class OverwriteRulesTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    std::vector<std::string> texts(31);
    texts[29] = "Newer: %s";
    texts[30] = "Language: %s %d";
    SetTextGroup(kTextGroupMessages, texts);
    newer = TestProgramFolder() + "wintest\\VersionNewer.dll";
    highBit = TestProgramFolder() + "wintest\\VersionHighBit.dll";
    plain = WriteTextFile(TempFolder() + "setvik-plain.txt", "text");
  }
  void TearDown() override {
    DeleteFileA(plain.c_str());
    PathBuffersTest::TearDown();
  }
  // CheckVersions for record against target, answering with answers; the
  // texts of the Yes/No questions asked.
  std::vector<std::string> Decide(const std::string& target, const TestRecord& fields, bool expectWrite,
                                  std::initializer_list<int> answers) {
    lstrcpynA(TargetPath, target.c_str(), kPathBufferSize);
    Script(answers);
    const std::vector<uint8_t> record = BuildRecord(fields);
    EXPECT_EQ(CheckVersions(record.data()), expectWrite) << target;
    EXPECT_TRUE(ScriptedAnswers.empty()) << "fewer questions than answers";
    std::vector<std::string> asked;
    for (const ShownMessage& shown : ShownMessages) {
      EXPECT_EQ(shown.boxType, 0x24u);
      asked.push_back(shown.text);
    }
    return asked;
  }
  std::string newer, highBit, plain;
  using Asked = std::vector<std::string>;
};

// Product version first, then file version, compared as unsigned words;
// then the language. Questions: V the version's, L the language's (its "%d"
// is not a number slot: only "%s" takes TargetPath). Any answer but Yes skips.
TEST_F(OverwriteRulesTest, VersionThenLanguageQuestions) {
  enum File { kNewer, kHighBit, kPlain };
  const struct {
    File file;
    uint8_t checks;
    uint32_t productMS, productLS, fileMS, fileLS, language;
    std::initializer_list<int> answers;
    bool write;
    const char* asked;
  } cases[] = {
      // VersionNewer: product 2.0.0.0, file 1.0.0.2, language 0x0409.
      {kNewer, 0x02, Word(1, 9), Word(9, 9), Word(9, 9), Word(9, 9), 0x0409, {kAnswerNo}, false, "V"},
      {kNewer, 0x02, Word(2, 0), 0, Word(1, 0), Word(0, 2), 0x0409, {}, true, ""},
      {kNewer, 0x02, Word(2, 0), Word(0, 1), 0, 0, 0x0409, {}, true, ""},  // newer product beats older file
      // VersionHighBit: product 0x80000000:0, file 0x00010000:0x80000000, language 0x0407.
      {kHighBit, 0x02, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x0409, {kAnswerNo}, false, "V"},
      {kHighBit, 0x02, 0x80000000, 0, 0x00010000, 0x7FFFFFFF, 0x0409, {kAnswerCancel}, false, "V"},
      // Language only: the versions are not compared; the word is widened,
      // not masked, so a code page in the high half differs.
      {kNewer, 0x04, 0, 0, 0, 0, 0x04B00409, {kAnswerNo}, false, "L"},
      {kHighBit, 0x04, 0, 0, 0, 0, 0x0407, {}, true, ""},
      // Both: No to the version question skips without the second.
      {kNewer, 0x06, 0, 0, 0, 0, 0x0407, {kAnswerNo}, false, "V"},
      {kNewer, 0x06, 0, 0, 0, 0, 0x0407, {kAnswerYes, kAnswerYes}, true, "VL"},
      // No version resource: no objection.
      {kPlain, 0x06, 0, 0, 0, 0, 0x0407, {}, true, ""},
  };
  const std::string files[] = {newer, highBit, plain};
  for (const auto& c : cases) {
    const std::string& target = files[c.file];
    SCOPED_TRACE(&c - cases);
    Asked expected;
    for (const char* q = c.asked; *q; ++q)
      expected.push_back(*q == 'V' ? "Newer: " + target : "Language: " + target + " %d");
    TestRecord record;  // asks for the row's checks, with its versionBlock
    record.optionFlags = c.checks;
    const uint32_t version[5] = {c.fileMS, c.fileLS, c.productMS, c.productLS, c.language};
    std::copy(version, version + 5, record.version);
    EXPECT_EQ(Decide(target, record, c.write, c.answers), expected);
  }
}

}  // namespace
