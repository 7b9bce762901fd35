// The 16-byte command and reply block of the printer command language ACL.
#pragma once

#include <array>
#include <cstdint>

namespace kestrava {

// Every command the program sends.
namespace aclcmd {
inline constexpr std::uint16_t firmwareVersion = 0x0001;  // reply bytes 6..13: version text
inline constexpr std::uint16_t buildInfo = 0x0008;        // bytes 6..7: length, then text
inline constexpr std::uint16_t serialNumber = 0xFF05;     // bytes 6..7: length, then text
inline constexpr std::uint16_t fileRead = 0xFF13;         // data: path; bytes 6..9: size
inline constexpr std::uint16_t oidQuery = 0xFF21;         // data: SSI request; bytes 6..7: length
inline constexpr std::uint16_t ramSize = 0xFF85;          // bytes 6..7: megabytes, little-endian
}  // namespace aclcmd

struct AclCommandBlock {
  std::array<std::uint8_t, 16> bytes{};

  // A request: 00 AC, the command code and the data length big-endian, ten zero bytes.
  static AclCommandBlock request(std::uint16_t command, std::uint16_t dataLength = 0) {
    AclCommandBlock block;
    block.bytes[1] = 0xAC;
    block.bytes[2] = static_cast<std::uint8_t>(command >> 8);
    block.bytes[3] = static_cast<std::uint8_t>(command);
    block.bytes[4] = static_cast<std::uint8_t>(dataLength >> 8);
    block.bytes[5] = static_cast<std::uint8_t>(dataLength);
    return block;
  }

  std::uint16_t command() const { return be16(2); }
  std::uint16_t status() const { return be16(4); }
  std::uint16_t be16(std::size_t offset) const {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
  }
  std::uint32_t be32(std::size_t offset) const {
    return static_cast<std::uint32_t>(bytes[offset]) << 24 | static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
  }
  std::uint8_t* data() { return bytes.data(); }
  const std::uint8_t* data() const { return bytes.data(); }
};

}  // namespace kestrava
