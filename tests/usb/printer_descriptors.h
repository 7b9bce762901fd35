// What the emulated printer tells the USB host about itself: the standard descriptors of
// a high-speed printer-class device with one bidirectional interface, and the IEEE 1284
// device ID that the printer class asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrava::usbtest {

struct PrinterIdentity {
  std::uint16_t vendorId = 0x232B;
  std::uint16_t productId = 0x0EF5;
  std::string manufacturer = "Pantum";
  std::string product;  // the model name
  std::string serialNumber;
};

inline constexpr std::uint8_t kConfigurationValue = 1;
inline constexpr std::uint8_t kInterfaceNumber = 0;
inline constexpr std::uint8_t kBulkOut = 0x01;
inline constexpr std::uint8_t kBulkIn = 0x81;
inline constexpr std::uint16_t kBulkMaxPacket = 512;  // high speed
inline constexpr std::uint8_t kControlMaxPacket = 64;

std::string deviceDescriptor(const PrinterIdentity& identity);
std::string configurationDescriptor();  // with its interface and both endpoints

// String descriptor `index` (0: the language list); nullopt for an index the device lacks.
std::optional<std::string> stringDescriptor(const PrinterIdentity& identity, std::uint8_t index);

// The answer to GET_DEVICE_ID: a big-endian length that counts itself, then the ID text.
std::string deviceIdAnswer(const PrinterIdentity& identity);

}  // namespace kestrava::usbtest
