#include "boards/slice_compare.h"

#include <algorithm>
#include <string>

#include "base/decimal_text.h"

namespace kestrava {

std::u16string_view versionSlice(std::u16string_view version, std::size_t position, std::size_t count) {
  // substr throws for a start past the end; such a slice is empty, at the end.
  return version.substr(std::min(position, version.size()), count);
}

std::strong_ordering compareSlice(std::u16string_view version, std::size_t position, std::size_t count,
                                  std::u16string_view reference) {
  return versionSlice(version, position, count) <=> reference;
}

std::uint32_t versionNumber(std::u16string_view version) {
  std::u16string digits(version);
  for (std::size_t position : {5u, 3u, 1u}) {
    if (position < digits.size()) digits.erase(position, 1);
  }
  return static_cast<std::uint32_t>(decimalToInt32(digits));
}

}  // namespace kestrava
