#include "base/decimal_text.h"

#include <limits>

namespace kestrava {

namespace {
bool isWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
}  // namespace

std::int32_t decimalToInt32(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isWhiteSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';

  // The magnitude is gathered up to one past INT32_MAX, where the negative limit lies;
  // anything further only confirms the clamp.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    magnitude = magnitude * 10 + (text[at] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(magnitude);
}

}  // namespace kestrava
