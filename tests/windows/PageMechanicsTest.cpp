// Message texts from hostile setup data.
#include "tests/windows/PathBuffersTest.h"
#include "wizard/PageMechanics.h"

namespace {

// Text group 6 made of the given texts, installed for one test.
class MessageTextTest : public ::testing::Test {
 protected:
  void SetTexts(const std::vector<std::string>& texts) { SetTextGroup(kTextGroupMessages, texts); }
  void TearDown() override {
    SetTextGroup(kTextGroupMessages, {});
    ErrorFileName = nullptr;
  }
  std::string Format(uint32_t n, uint32_t size, const char* fileName) {
    std::vector<char> out(size + 8, 'G');
    char name[kPathBufferSize];
    lstrcpynA(name, fileName, kPathBufferSize);
    ErrorFileName = name;
    FormatMessageText(out.data(), size, n);
    for (uint32_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], 'G') << "written past " << size;
    return size ? std::string(out.data()) : std::string();
  }
};

// Only the first "%s" takes the file name (itself not a format); without
// "%s" the text is copied as it stands; a missing text is empty; all is cut
// at the buffer's size, 0 writing nothing at all.
TEST_F(MessageTextTest, FirstPercentSTakesTheFileNameCutAtTheBufferSize) {
  SetTexts({"Caption", "Cannot write %s (%s) %n %d %x %% %", "100% sure %d %n", "", "%s",
            "no percent-s here, just a long text"});
  const std::string longName(259, 'f');
  const struct {
    uint32_t n, size;
    const char* fileName;
    std::string expected;
  } cases[] = {
      {1, 1024, "C:\\a.dll", "Cannot write C:\\a.dll (%s) %n %d %x % %"}, {2, 1024, "C:\\a.dll", "100% sure %d %n"},
      {9, 1024, "x", ""}, {4, 1024, "%s %n %x", "%s %n %x"}, {1, 8, "C:\\file.dll", "Cannot "},
      {4, 8, "C:\\file.dll", "C:\\file"}, {5, 10, "x", "no percen"}, {1, 0, "x", ""},
      {4, 100, longName.c_str(), longName.substr(0, 99)},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.n, c.size, c.fileName), c.expected) << c.n << " " << c.size;
}

}  // namespace
