// Hexadecimal text: the ids in a device path, the bytes of a trace file or a scenario.
#pragma once

#include <string>
#include <string_view>

namespace kestrava {

// The value of one hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char32_t character);

// Two digits a byte, no separators; false (and `bytes` unspecified) on an odd count of
// digits or a character that is not a hexadecimal digit.
bool bytesFromHex(std::string_view hex, std::string& bytes);

// Two lower-case digits a byte.
std::string hexFromBytes(std::string_view bytes);

}  // namespace kestrava
