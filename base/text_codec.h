// Conversions between the printer's 8-bit texts and the program's UTF-16 texts,
// and UTF-8 for terminals, files and the Linux dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava {

// Text from the printer: taken up to its first NUL byte (or `count`) and widened with
// the thread's ANSI code page on Windows, as ISO-8859-1 elsewhere (byte n is code unit n).
std::u16string widenPrinterText(const std::uint8_t* bytes, std::size_t count);
std::u16string widenPrinterText(std::string_view bytes);

// The reverse conversion (used for the build year): the thread's ANSI code page on
// Windows; elsewhere ISO-8859-1, with every code unit above 0xFF becoming '?'.
std::string narrowToAnsi(const std::u16string& text);

// UTF-16 to UTF-8 and back; unpaired surrogates and malformed bytes become U+FFFD (one
// for each byte that does not start a well-formed character).
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

// The one UTF-8 character at the start of `text`, read strictly: its shortest form only,
// no surrogate, nothing above U+10FFFF. Nothing for any other bytes; what they become is
// the caller's choice (U+FFFD in fromUtf8, a refused line in a trace).
struct Utf8Character {
  char32_t codePoint;
  std::size_t length;  // bytes taken, 1 to 4
};
std::optional<Utf8Character> decodeUtf8Character(std::string_view text);

// A code point (at most U+10FFFF, not a surrogate) appended as UTF-16: one code unit, or
// a surrogate pair above U+FFFF.
void appendUtf16(char32_t codePoint, std::u16string& out);

// A text as a C string holds it: up to its first NUL, or whole when it has none.
template <typename Char>
std::basic_string_view<Char> untilNul(std::basic_string_view<Char> text) {
  return text.substr(0, text.find(Char{}));
}
inline std::u16string_view untilNul(const std::u16string& text) { return untilNul(std::u16string_view(text)); }

#ifdef _WIN32
// The program's UTF-16 texts and the Windows API's wide texts hold the same code units.
inline std::wstring toWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string fromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
#endif

}  // namespace kestrava
