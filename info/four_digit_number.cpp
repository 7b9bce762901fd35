#include "info/four_digit_number.h"

namespace kestrava {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::uint32_t parseFourDigitNumber(char* text) {
  if (text == nullptr) return 0;
  char* walk = text;
  while (*walk != '\0') {
    if (!isDigit(*walk)) {
      ++walk;
      continue;
    }
    char* run = walk;
    while (isDigit(*walk)) ++walk;
    if (walk - run == 4) {
      *walk = '\0';
      std::uint32_t value = 0;
      for (const char* digit = run; digit != walk; ++digit) {
        value = value * 10 + static_cast<std::uint32_t>(*digit - '0');
      }
      return value;
    }
  }
  return 0;
}

}  // namespace kestrava
