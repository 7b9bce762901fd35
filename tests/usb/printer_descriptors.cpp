#include "tests/usb/printer_descriptors.h"

namespace kestrava::usbtest {

namespace {

void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void putBulkEndpoint(std::string& out, std::uint8_t address) {
  out += {7, 5, static_cast<char>(address), 2};
  put16(out, kBulkMaxPacket);
  out.push_back(0);  // bulk endpoints have no polling interval
}

}  // namespace

std::string deviceDescriptor(const PrinterIdentity& identity) {
  std::string d = {18, 1};
  put16(d, 0x0200);
  // The class lives in the interface, as on every printer.
  d += {0, 0, 0, static_cast<char>(kControlMaxPacket)};
  put16(d, identity.vendorId);
  put16(d, identity.productId);
  put16(d, 0x0100);
  d += {1, 2, static_cast<char>(identity.serialNumber.empty() ? 0 : 3), 1};
  return d;
}

std::string configurationDescriptor() {
  std::string c = {9, 2};
  put16(c, 9 + 9 + 7 + 7);
  // Self-powered, as a printer on its own mains supply is.
  c += {1, static_cast<char>(kConfigurationValue), 0, static_cast<char>(0xC0), 1};
  // Printer class 7, subclass 1, protocol 2: bidirectional, replies come back on bulk IN.
  c += {9, 4, static_cast<char>(kInterfaceNumber), 0, 2, 7, 1, 2, 0};
  putBulkEndpoint(c, kBulkOut);
  putBulkEndpoint(c, kBulkIn);
  return c;
}

std::optional<std::string> stringDescriptor(const PrinterIdentity& identity, std::uint8_t index) {
  std::string text;
  switch (index) {
    case 0: {
      std::string languages = {4, 3};
      put16(languages, 0x0409);
      return languages;
    }
    case 1: text = identity.manufacturer; break;
    case 2: text = identity.product; break;
    case 3:
      if (identity.serialNumber.empty()) return std::nullopt;
      text = identity.serialNumber;
      break;
    default: return std::nullopt;
  }
  if (text.size() > 126) text.resize(126);
  std::string s = {static_cast<char>(2 + 2 * text.size()), 3};
  for (char c : text) put16(s, static_cast<unsigned char>(c));
  return s;
}

std::string deviceIdAnswer(const PrinterIdentity& identity) {
  std::string id = "MFG:" + identity.manufacturer + ";CMD:PJL,ACL;MDL:" + identity.product +
                   ";CLS:PRINTER;DES:" + identity.manufacturer + " " + identity.product + ";";
  std::size_t length = id.size() + 2;
  std::string answer = {static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
  return answer + id;
}

}  // namespace kestrava::usbtest
