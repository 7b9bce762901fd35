#include "app/cli/terminal_text.h"

#include <cstdio>

namespace kestrava {

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
    if (!c0 && !c1 && c != 0x7F) {
      out.push_back(c);
      continue;
    }
    char code[8];
    std::snprintf(code, sizeof code, c1 ? "\\u%04X" : "\\x%02X", static_cast<unsigned>(c));
    for (const char* p = code; *p; ++p) out.push_back(static_cast<char16_t>(*p));
  }
  return out;
}

}  // namespace kestrava
