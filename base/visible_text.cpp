#include "base/visible_text.h"

#include <cstdio>

#include "base/text_codec.h"

namespace kestrava {

namespace {

void appendCode(std::u16string& out, char16_t c) {
  char code[8];
  const bool c1OrWide = c >= 0x80;
  std::snprintf(code, sizeof code, c1OrWide ? "\\u%04X" : "\\x%02X", static_cast<unsigned>(c));
  for (const char* p = code; *p; ++p) out.push_back(static_cast<char16_t>(*p));
}

bool endsALine(char16_t c) {
  return c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::u16string visibleControls(std::u16string_view text, bool keepLineEnds) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (keepLineEnds && c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out += u"\r\n";
      ++i;
      continue;
    }
    const bool c0 = c < 0x20 && c != u'\t';
    const bool c1 = c >= 0x80 && c <= 0x9F;
    if (!c0 && !c1 && c != 0x7F && c != 0x2028 && c != 0x2029) {
      out.push_back(c);
      continue;
    }
    appendCode(out, c);
  }
  return out;
}

std::u16string visibleLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (endsALine(c)) {
      appendCode(out, c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string visibleExcerpt(std::string_view text, std::size_t maxCharacters) {
  std::u16string wide = fromUtf8(text);
  bool cut = false;
  if (wide.size() > maxCharacters) {
    std::size_t keep = maxCharacters;
    // Never half a surrogate pair.
    if (keep > 0 && wide[keep - 1] >= 0xD800 && wide[keep - 1] <= 0xDBFF) --keep;
    wide.resize(keep);
    cut = true;
  }
  return toUtf8(visibleControls(wide)) + (cut ? "..." : "");
}

std::string quotedExcerpt(std::string_view text, std::size_t maxCharacters) {
  return "\"" + visibleExcerpt(text, maxCharacters) + "\"";
}

}  // namespace kestrava
