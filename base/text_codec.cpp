#include "base/text_codec.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrava {

std::u16string widenPrinterText(const std::uint8_t* bytes, std::size_t count) {
  std::size_t length = untilNul(std::string_view(reinterpret_cast<const char*>(bytes), count)).size();
  if (length == 0) return {};
#ifdef _WIN32
  const char* narrow = reinterpret_cast<const char*>(bytes);
  int units = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, static_cast<int>(length), nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, static_cast<int>(length), wide.data(), units);
  return fromWide(wide);
#else
  std::u16string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(bytes[i]));
  return text;
#endif
}

std::u16string widenPrinterText(std::string_view bytes) {
  return widenPrinterText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string narrowToAnsi(const std::u16string& text) {
  if (text.empty()) return {};
#ifdef _WIN32
  std::wstring wide = toWide(text);
  int bytes =
      WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), bytes, nullptr,
                      nullptr);
  return narrow;
#else
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t unit : text) narrow.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
  return narrow;
#endif
}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::optional<Utf8Character> decodeUtf8Character(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned char lead = static_cast<unsigned char>(text[0]);
  std::size_t extra = 0;  // continuation bytes that follow the lead byte
  char32_t cp = 0;
  if (lead < 0x80) {
    return Utf8Character{lead, 1};
  } else if ((lead >> 5) == 0x6) {
    extra = 1, cp = lead & 0x1Fu;
  } else if ((lead >> 4) == 0xE) {
    extra = 2, cp = lead & 0x0Fu;
  } else if ((lead >> 3) == 0x1E) {
    extra = 3, cp = lead & 0x07u;
  } else {
    return std::nullopt;  // a continuation byte, or a lead byte of no UTF-8 form
  }
  if (text.size() <= extra) return std::nullopt;
  for (std::size_t k = 1; k <= extra; ++k) {
    unsigned char next = static_cast<unsigned char>(text[k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    cp = cp << 6 | (next & 0x3Fu);
  }
  // The smallest code point of each length: anything below it had a shorter form.
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  return Utf8Character{cp, extra + 1};
}

void appendUtf16(char32_t codePoint, std::u16string& out) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(codePoint));
  }
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::optional<Utf8Character> character = decodeUtf8Character(text.substr(i));
    if (!character) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    appendUtf16(character->codePoint, out);
    i += character->length;
  }
  return out;
}

}  // namespace kestrava
