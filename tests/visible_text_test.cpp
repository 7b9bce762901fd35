// Outside text shown on a terminal or in a message: no control character gets through,
// and nothing else changes.
#include <gtest/gtest.h>

#include "base/visible_text.h"
#include "base/text_codec.h"

namespace kestrava {
namespace {

TEST(VisibleText, ControlCharactersAreWrittenOut) {
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

TEST(VisibleText, LineBreaksAreWrittenOutAndNothingElseChanges) {
  EXPECT_EQ(toUtf8(visibleLineBreaks(u"1.2\r\nS/N: FAKE\x0b\x0c\u0085\u2028\u2029 \x1B[2J\tok")),
            "1.2\\x0D\\x0AS/N: FAKE\\x0B\\x0C\\u0085\\u2028\\u2029 \x1B[2J\tok");
}

// A field echoed in an error message: cut, and never raw.
TEST(VisibleText, ExcerptsAreCutAndVisible) {
  struct Case {
    std::string text;
    std::size_t max;
    const char* shown;
  };
  const Case cases[] = {
      {"\"kind\": 1", 80, "\"kind\": 1"},
      {"\x1B]0;owned\x07 title", 80, "\\x1B]0;owned\\x07 title"},
      {std::string(100000000, 'x'), 5, "xxxxx..."},
      {"ab\xF0\x9F\x96\xA8", 3, "ab..."},  // never half a surrogate pair
      {"bad \xFF byte", 80, "bad \xEF\xBF\xBD byte"},
      {"line\nend", 80, "line\\x0Aend"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(visibleExcerpt(c.text, c.max), c.shown);
  }
}

}  // namespace
}  // namespace kestrava
