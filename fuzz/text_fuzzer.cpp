// The text helpers the board rules and the levels rely on: slice comparison, version
// number, the four-digit year and the decimal conversion.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "boards/slice_compare.h"
#include "base/decimal_text.h"
#include "info/four_digit_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrava;
  if (size < 2) return 0;
  std::size_t position = data[0] % 12;
  std::size_t count = data[1] % 10;
  data += 2;
  size -= 2;
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);

  std::u16string_view slice = versionSlice(text, position, count);
  if (slice.size() > count || (!slice.empty() && slice.data() < text.data())) __builtin_trap();
  if (slice.data() + slice.size() > text.data() + text.size()) __builtin_trap();
  if (compareSlice(text, position, count, u"4.H.1.3") != (slice <=> std::u16string_view(u"4.H.1.3"))) __builtin_trap();
  (void)versionNumber(text);
  (void)decimalToInt32(text);

  std::vector<char> narrow(data, data + size);
  narrow.push_back('\0');
  std::string before(narrow.data());
  std::uint32_t year = parseFourDigitNumber(narrow.data());
  if (year > 9999) __builtin_trap();
  if (year == 0 && before != narrow.data() && before.find("0000") == std::string::npos) __builtin_trap();
  return 0;
}
