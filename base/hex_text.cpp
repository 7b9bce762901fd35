#include "base/hex_text.h"

namespace kestrava {

int hexDigitValue(char32_t character) {
  if (character >= U'0' && character <= U'9') return static_cast<int>(character - U'0');
  if (character >= U'a' && character <= U'f') return static_cast<int>(character - U'a' + 10);
  if (character >= U'A' && character <= U'F') return static_cast<int>(character - U'A' + 10);
  return -1;
}

bool bytesFromHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int high = hexDigitValue(static_cast<unsigned char>(hex[i]));
    int low = hexDigitValue(static_cast<unsigned char>(hex[i + 1]));
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

std::string hexFromBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 15]);
  }
  return out;
}

}  // namespace kestrava
