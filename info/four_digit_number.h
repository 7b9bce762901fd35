// The year out of a build date: the first run of exactly four decimal digits.
#pragma once

#include <cstdint>

namespace kestrava {

// Returns the value (0 to 9999) of the first run of exactly four digits in the
// NUL-terminated `text` and cuts the text right after that run; runs of any other
// length are skipped whole. No such run (or an empty text): 0, and the text is untouched.
std::uint32_t parseFourDigitNumber(char* text);

}  // namespace kestrava
