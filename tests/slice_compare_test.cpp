#include <gtest/gtest.h>

#include <climits>
#include <compare>
#include <string>

#include "boards/slice_compare.h"
#include "base/text_codec.h"

namespace kestrava {

namespace {

const char* orderName(std::strong_ordering order) {
  if (order < 0) return "less";
  if (order > 0) return "greater";
  return "equal";
}

}  // namespace

TEST(SliceCompare, ComparesTextNotNumbers) {
  struct Case {
    const char16_t* version;
    std::size_t position;
    std::size_t count;
    const char16_t* reference;
    const char* expected;
  };
  const Case cases[] = {
      {u"4.H.1.10", 0, 7, u"4.H.1.3", "less"},  // only '4.H.1.1' is compared
      {u"4.H.1", 0, 7, u"4.H.1.3", "less"},     // a proper prefix sorts first
      {u"4.H.1.3", 0, 7, u"4.H.1.3", "equal"},
      {u"4.H.1.3.9", 0, 7, u"4.H.1.3", "equal"},
      {u"4.H.2.0", 0, 7, u"4.H.1.3", "greater"},
      {u"5", 0, 7, u"4.H.1.3", "greater"},
      {u"T.A.0.1", 0, 7, u"3.A.0.5", "greater"},
      {u"", 0, 7, u"4.H.1.3", "less"},
      {u"3.A.0.1", 0, 3, u"3.A", "equal"},
      {u"3.A.0.1", 2, 1, u"A", "equal"},
      {u"3.H.0.1", 2, 1, u"A", "greater"},
      {u"3.3.7.3", 4, 1, u"7", "equal"},
      {u"3.3.10.0", 4, 1, u"7", "less"},
      // Positions past the end give an empty slice, never a read beyond the text.
      {u"4.", 2, 1, u"H", "less"},
      {u"4", 2, 1, u"H", "less"},
      {u"3.3", 4, 1, u"1", "less"},
      {u"", 4, 1, u"", "equal"},
      // Code units compare unsigned: U+FF41 sorts after every ASCII character.
      {u"\xFF41.A", 0, 3, u"z.A", "greater"},
      {u"a", 0, 1, u"B", "greater"},  // no folding of case
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << toUtf8(c.version) << "'[" << c.position << "," << c.count << "] against '"
                                    << toUtf8(c.reference) << "'");
    EXPECT_STREQ(orderName(compareSlice(c.version, c.position, c.count, c.reference)), c.expected);
  }
}

TEST(SliceCompare, SliceIsClippedToTheVersion) {
  EXPECT_EQ(versionSlice(u"3.3.0.5", 0, 7), u"3.3.0.5");
  EXPECT_EQ(versionSlice(u"3.3.10.1", 0, 7), u"3.3.10.");
  EXPECT_EQ(versionSlice(u"3.3", 0, 7), u"3.3");
  EXPECT_EQ(versionSlice(u"3.3", 2, 5), u"3");
  EXPECT_EQ(versionSlice(u"3.3", 3, 1), u"");
  EXPECT_EQ(versionSlice(u"3.3", 30, 1), u"");
}

TEST(VersionNumber, DropsThreeDotsAndReadsTheDigits) {
  struct Case {
    const char16_t* version;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {u"3.3.0.5", 3305},
      {u"3.2.7.2", 3272},
      {u"3.6.0.6", 3606},
      {u"3.4.0.2", 3402},
      {u"3.3.10.1", 331},  // '331.1' after the drops: the digits stop at the dot
      {u"4.A.0.6", 4},
      {u"T.A.0.1", 0},
      {u" x-x1x2", static_cast<std::uint32_t>(-12)},  // ' -12': white space and a sign
      {u"", 0},
      // Too short for some drops: those are skipped, the rest still applies.
      {u"3.3.05", 330},  // position 5 is the last character
      {u"3.3.0", 330},   // position 5 is past the end
      {u"3.3", 33},      // only position 1 lies inside
      {u"3", 3},
      {u"-.1.2.34", static_cast<std::uint32_t>(-1234)},
      // A run of digits beyond the int range stops at its limit instead of overflowing.
      {u"9.9999999999999", static_cast<std::uint32_t>(INT_MAX)},
      {u"-.9.9.99999999999", static_cast<std::uint32_t>(INT_MIN)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << toUtf8(c.version) << "'");
    EXPECT_EQ(versionNumber(c.version), c.expected);
  }
}

}  // namespace kestrava
