// Numbers the printer sends as OID text, read the way the C library's decimal
// conversion of a wide text (wcstol, _wtoi) reads them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrava {

// Skips leading white space (blank, tab, line feed, vertical tab, form feed, carriage
// return), takes an optional "+" or "-", then the decimal digits up to the first other
// character (a NUL ends the text). No digits gives 0; a value outside the signed 32-bit
// range gives the nearest limit.
std::int32_t decimalToInt32(std::u16string_view text);

}  // namespace kestrava
