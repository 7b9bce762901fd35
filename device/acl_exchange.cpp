// One ACL exchange: PJL prefix, command block, data, UEL, each its own write; then the
// 16-byte reply into the same block.
#include <new>
#include <vector>

#include "device/printer_device.h"

namespace kestrava {

ResultCode PrinterDevice::exchange(AclCommandBlock& block, const std::uint8_t* data,
                                   std::uint16_t length) {
  if (!link.connected()) return rc::notConnected;
  if (link.write(pjlPrefix, sizeof kPjlPrefix) != linkstatus::ok) return rc::sendFailed;
  if (link.write(block.data(), 16) != linkstatus::ok) return rc::sendFailed;
  if (length != 0 && link.write(data, length) != linkstatus::ok) return rc::sendFailed;
  if (link.write(pjlPrefix, kUelLength) != linkstatus::ok) return rc::sendFailed;

  std::uint32_t transferred = 0;
  if (link.read(block.data(), 16, transferred, readTimeoutMs) != linkstatus::ok) {
    return rc::receiveFailed;
  }
  return transferred < 16 ? rc::receiveFailed : rc::noError;
}

ResultCode checkReply(const AclCommandBlock& reply, std::uint16_t command) {
  if (reply.bytes[0] != 0x00 || reply.bytes[1] != 0xAC || reply.command() != command) {
    return rc::invalidResponse;
  }
  switch (reply.status()) {
    case 1: return rc::noError;
    case 0: return rc::executionFailed;
    default: return rc::executionError;
  }
}

ResultCode sendCommand(PrinterDevice& device, std::uint16_t command, AclCommandBlock& block) {
  block = AclCommandBlock::request(command);
  ResultCode result = device.exchange(block, nullptr, 0);
  return result != rc::noError ? result : checkReply(block, command);
}

ResultCode readDataPhase(PrinterDevice& device, std::uint32_t length, std::string& text) {
  std::string received;
  try {
    received.resize(length);
  } catch (const std::bad_alloc&) {
    return rc::allocationFailed;
  }
  if (length == 0) {
    text.clear();
    return rc::noError;
  }
  std::uint32_t transferred = 0;
  unsigned status = device.link.read(reinterpret_cast<std::uint8_t*>(received.data()), length,
                                     transferred, device.readTimeoutMs);
  if (status != linkstatus::ok || transferred != length) return rc::receiveFailed;
  text = std::move(received);
  return rc::noError;
}

}  // namespace kestrava
