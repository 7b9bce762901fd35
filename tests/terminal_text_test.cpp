// Printer text shown on a terminal: no control character gets through, and nothing else
// changes.
#include <gtest/gtest.h>

#include "app/cli/terminal_text.h"
#include "base/text_codec.h"

namespace kestrava {
namespace {

TEST(TerminalText, ControlCharactersAreWrittenOut) {
  struct Case {
    std::u16string text;
    bool keepLineEnds;
    const char* shown;
  };
  const Case cases[] = {
      {u"CN3A012345", false, "CN3A012345"},
      {u"tab\there, \u00b5 \u20ac \U0001F5A8", false, "tab\there, \xC2\xB5 \xE2\x82\xAC \xF0\x9F\x96\xA8"},
      {u"\x1B]0;owned\x07\x1B[2J\x1B[3A\rModel: Totally Legit Board", false,
       "\\x1B]0;owned\\x07\\x1B[2J\\x1B[3A\\x0DModel: Totally Legit Board"},
      {std::u16string(u"nul\0del\x7F", 8), false, "nul\\x00del\\x7F"},
      {u"c1 \u0085\u009B\u0080\u009F \u00a0", false, "c1 \\u0085\\u009B\\u0080\\u009F \xC2\xA0"},
      {u"a\r\nb", false, "a\\x0D\\x0Ab"},
      {u"a\r\nb\nc\rd\r", true, "a\r\nb\\x0Ac\\x0Dd\\x0D"},
      {u"\x1B[2J\r\n", true, "\\x1B[2J\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(toUtf8(visibleControls(c.text, c.keepLineEnds)), c.shown);
  }
}

}  // namespace
}  // namespace kestrava
