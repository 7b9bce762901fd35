#include "boards/slice_compare.h"

#include <algorithm>
#include <climits>
#include <string>

namespace kestrava {

std::u16string_view versionSlice(std::u16string_view version, std::size_t position,
                                 std::size_t count) {
  // substr throws for a start past the end; such a slice is empty, at the end.
  return version.substr(std::min(position, version.size()), count);
}

std::strong_ordering compareSlice(std::u16string_view version, std::size_t position,
                                  std::size_t count, std::u16string_view reference) {
  return versionSlice(version, position, count) <=> reference;
}

namespace {

bool isCSpace(char16_t unit) {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

// The C library's decimal conversion to int, kept within the int range so that a long
// run of digits from the printer cannot overflow.
std::int32_t decimalToInt(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isCSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
    negative = text[at] == u'-';
    ++at;
  }
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > std::int64_t{INT_MAX} + 1) value = std::int64_t{INT_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::uint32_t versionNumber(std::u16string_view version) {
  std::u16string digits(version);
  for (std::size_t position : {5u, 3u, 1u}) {
    if (position < digits.size()) digits.erase(position, 1);
  }
  return static_cast<std::uint32_t>(decimalToInt(digits));
}

}  // namespace kestrava
