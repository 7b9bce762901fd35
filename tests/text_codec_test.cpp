// UTF-8 read strictly, in one place: what a trace line's device path, a --device argument
// and a scenario's paths all go through.
#include <gtest/gtest.h>

#include "base/text_codec.h"

namespace kestrava {
namespace {

TEST(TextCodec, EveryWellFormedLengthIsReadWhole) {
  struct Case {
    const char* bytes;
    char32_t codePoint;
  };
  const Case cases[] = {
      {"\x00", 0x00},
      {"A", 0x41},
      {"\x7F", 0x7F},
      {"\xC2\x80", 0x80},
      {"\xC2\xB5", 0xB5},
      {"\xDF\xBF", 0x7FF},
      {"\xE0\xA0\x80", 0x800},
      {"\xE2\x82\xAC", 0x20AC},
      {"\xED\x9F\xBF", 0xD7FF},
      {"\xEE\x80\x80", 0xE000},
      {"\xEF\xBF\xBF", 0xFFFF},
      {"\xF0\x90\x80\x80", 0x10000},
      {"\xF0\x9F\x96\xA8", 0x1F5A8},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF},
  };
  for (const Case& c : cases) {
    std::string_view bytes(c.bytes, c.codePoint == 0 ? 1 : std::char_traits<char>::length(c.bytes));
    SCOPED_TRACE(static_cast<unsigned>(c.codePoint));
    // A byte after the character is not taken.
    std::string followed = std::string(bytes) + "z";
    std::optional<Utf8Character> character = decodeUtf8Character(followed);
    ASSERT_TRUE(character.has_value());
    EXPECT_EQ(character->codePoint, c.codePoint);
    EXPECT_EQ(character->length, bytes.size());
  }
}

// The bad forms: each is refused by the strict reader, and fromUtf8 makes of it one U+FFFD
// per byte that starts no character.
TEST(TextCodec, MalformedFormsAreRefused) {
  struct Case {
    const char* what;
    const char* bytes;
    std::u16string converted;
  };
  const Case cases[] = {
      {"overlong 2-byte NUL", "\xC0\x80", u"\uFFFD\uFFFD"},
      {"overlong 2-byte slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong 2-byte U+007F", "\xC1\xBF", u"\uFFFD\uFFFD"},
      {"overlong 3-byte slash", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong 3-byte U+07FF", "\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong 4-byte slash", "\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"overlong 4-byte U+FFFF", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"low surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"5-byte lead", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"lone continuation byte", "\x80", u"\uFFFD"},
      {"lead byte 0xFF", "\xFF", u"\uFFFD"},
      {"cut short 2-byte", "\xC2", u"\uFFFD"},
      {"cut short 4-byte", "\xF0\x9F\x96", u"\uFFFD\uFFFD\uFFFD"},
      {"lead followed by ASCII",
       "\xE2\x82"
       "A",
       u"\uFFFD\uFFFD"
       u"A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(decodeUtf8Character(c.bytes).has_value());
    EXPECT_EQ(fromUtf8(c.bytes), c.converted);
  }
}

TEST(TextCodec, Utf16AndUtf8RoundTripEveryPlane) {
  const std::u16string text = u"CN3A012345 \u00b5 \u07ff \u0800 \u20ac \uffff \U00010000 \U0001F5A8 \U0010FFFF";
  std::string utf8 = toUtf8(text);
  EXPECT_EQ(fromUtf8(utf8), text);
  std::u16string appended;
  for (char32_t cp : {U'A', U'\u20ac', U'\U0001F5A8'}) appendUtf16(cp, appended);
  EXPECT_EQ(appended, u"A\u20ac\U0001F5A8");
}

}  // namespace
}  // namespace kestrava
