// The UI driver's scenario scripts: how lines become steps, which lines are
// refused (with their line number), text patterns and paths, and the
// failure report of a step that cannot succeed.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/uidriver/Driver.h"
#include "tests/uidriver/Script.h"

namespace {

std::string ParseError(const std::string& script) {
  std::istringstream in(script);
  std::vector<ScriptStep> steps;
  std::string error;
  EXPECT_FALSE(ParseScript(in, steps, error)) << script;
  return error;
}

TEST(UiScriptTest, LinesBecomeSteps) {
  std::istringstream in(
      "# a comment\r\n"
      "\n"
      "   start app.exe /S \"C:\\\\Program Files\\\\x\"  \r\n"
      "expect-text 0x3E8 \"say \\\"hi\\\"\\nthere\"\n"
      "answer-box yes \"\"\n"
      "\t wait-window *");
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(ParseScript(in, steps, error)) << error;
  ASSERT_EQ(steps.size(), 4u);

  EXPECT_EQ(steps[0].line, 3);
  EXPECT_EQ(steps[0].text, "start app.exe /S \"C:\\\\Program Files\\\\x\"  ");
  ASSERT_EQ(steps[0].words.size(), 4u);
  EXPECT_EQ(steps[0].words[3], "C:\\Program Files\\x");
  EXPECT_EQ(steps[0].quoted, (std::vector<bool>{false, false, false, true}));

  EXPECT_EQ(steps[1].line, 4);
  EXPECT_EQ(steps[1].words[1], "0x3E8");
  EXPECT_EQ(steps[1].words[2], "say \"hi\"\nthere");
  // An empty quoted word is still a word.
  ASSERT_EQ(steps[2].words.size(), 3u);
  EXPECT_EQ(steps[2].words[2], "");
  EXPECT_EQ(steps[3].line, 6);
  EXPECT_EQ(steps[3].words, (std::vector<std::string>{"wait-window", "*"}));
}

TEST(UiScriptTest, BadLinesAreNamed) {
  EXPECT_EQ(ParseError("click 1\npress 1\n"), "line 2: unknown command \"press\"");
  EXPECT_EQ(ParseError("click\n"), "line 1: wrong number of arguments for click");
  EXPECT_EQ(ParseError("expect-text 1 \"a\" \"b\"\n"), "line 1: wrong number of arguments for expect-text");
  EXPECT_EQ(ParseError("\n\nclick next\n"), "line 3: \"next\" is not a number");
  EXPECT_EQ(ParseError("set-text 12x \"a\"\n"), "line 1: \"12x\" is not a number");
  EXPECT_EQ(ParseError("timeout soon\n"), "line 1: \"soon\" is not a number");
  EXPECT_EQ(ParseError("answer-box maybe\n"), "line 1: unknown button \"maybe\"");
  EXPECT_EQ(ParseError("expect-title \"open\n"), "line 1: unterminated quoted text");
  EXPECT_EQ(ParseError("wait-gone now\n"), "line 1: wrong number of arguments for wait-gone");
}

TEST(UiScriptTest, PatternsAndPaths) {
  EXPECT_TRUE(TextMatches("Welcome", "Welcome"));
  EXPECT_FALSE(TextMatches("Welcome!", "Welcome"));
  EXPECT_FALSE(TextMatches("Welcome", "Welcome!"));
  EXPECT_TRUE(TextMatches("Welcome to Demo", "Welcome*"));
  EXPECT_TRUE(TextMatches("Welcome", "Welcome*"));
  EXPECT_FALSE(TextMatches("Welcom", "Welcome*"));
  EXPECT_TRUE(TextMatches("", "*"));
  EXPECT_TRUE(TextMatches("", ""));
  EXPECT_FALSE(TextMatches("x", ""));

  EXPECT_EQ(WindowsPath("/work/main/build/setup.exe"), "Z:\\work\\main\\build\\setup.exe");
  EXPECT_EQ(WindowsPath("build/setup.exe"), "build/setup.exe");
  EXPECT_EQ(WindowsPath("C:\\x.exe"), "C:\\x.exe");
  EXPECT_EQ(WindowsPath(""), "");
}

TEST(UiScriptTest, FailuresNameTheStepAndLine) {
  auto run = [](const std::string& script, std::string& log) {
    std::istringstream in(script);
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_TRUE(ParseScript(in, steps, error)) << error;
    std::ostringstream out;
    int code = RunScript(steps, out);
    log = out.str();
    return code;
  };
  std::string log;
  EXPECT_EQ(run("timeout 0\n# nothing started\nexpect-exit 0\n", log), 1);
  EXPECT_NE(log.find("step 1: timeout 0\nstep 2: expect-exit 0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("FAILED: step 2 (line 3): no program was started"), std::string::npos) << log;

  EXPECT_EQ(run("timeout 0\nwait-window NoSuchClassHere \"Nothing\"\n", log), 1);
  EXPECT_NE(log.find("no window of class NoSuchClassHere titled \"Nothing\" appeared within 0 ms"),
            std::string::npos)
      << log;
  EXPECT_EQ(run("start Z:\\no\\such\\program.exe\n", log), 1);
  EXPECT_NE(log.find("cannot start \"Z:\\no\\such\\program.exe\""), std::string::npos) << log;

  EXPECT_EQ(run("sleep 1\n", log), 0);
  EXPECT_NE(log.find("all 1 steps passed"), std::string::npos) << log;
}

}  // namespace
