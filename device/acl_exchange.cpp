// One ACL exchange: PJL prefix, command block, data, UEL, each its own write; then the
// 16-byte reply into the same block.
#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

#include "device/printer_device.h"

#include "base/text_codec.h"

namespace kestrava {

ResultCode PrinterDevice::exchange(AclCommandBlock& block, const std::uint8_t* data, std::uint16_t length) {
  if (!link_.connected()) return ResultCode::notConnected;
  if (link_.write(pjlPrefix_, sizeof kPjlPrefix) != LinkStatus::ok) return ResultCode::sendFailed;
  if (link_.write(block.data(), 16) != LinkStatus::ok) return ResultCode::sendFailed;
  if (length != 0 && link_.write(data, length) != LinkStatus::ok) return ResultCode::sendFailed;
  if (link_.write(pjlPrefix_, kUelLength) != LinkStatus::ok) return ResultCode::sendFailed;

  const std::uint16_t command = block.command();
  std::uint32_t transferred = 0;
  if (link_.read(block.data(), 16, transferred, readTimeoutMs_) != LinkStatus::ok) {
    return ResultCode::receiveFailed;
  }
  if (transferred < 16) return ResultCode::receiveFailed;
  if (echoesCommand(block, command)) {
    ++repliesEchoed_;
  } else {
    // Not the reply to this request: what else the printer sends in its wake belongs to
    // no request either, and is thrown away before the next one.
    link_.expectLateBytes();
  }
  return ResultCode::noError;
}

bool echoesCommand(const AclCommandBlock& reply, std::uint16_t command) {
  return reply.bytes[0] == 0x00 && reply.bytes[1] == 0xAC && reply.command() == command;
}

LinkStatus PrinterDevice::readDataPiece(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& transferred) {
  transferred = 0;
  // Once the run's data-phase time is spent, a data phase gets only what has already
  // arrived (1 ms: some transports take 0 for "no time-out").
  const long long left = (kDataPhaseBudget - dataPhaseSpent_).count();
  const auto timeoutMs = static_cast<std::uint32_t>(std::clamp<long long>(left, 1, readTimeoutMs_));
  const auto start = link_.backend().now();
  LinkStatus status = link_.read(buffer, wanted, transferred, timeoutMs);
  dataPhaseSpent_ += std::chrono::ceil<std::chrono::milliseconds>(link_.backend().now() - start);
  return status;
}

ResultCode checkReply(const AclCommandBlock& reply, std::uint16_t command) {
  if (!echoesCommand(reply, command)) return ResultCode::invalidResponse;
  switch (reply.status()) {
    case 1: return ResultCode::noError;
    case 0: return ResultCode::executionFailed;
    default: return ResultCode::executionError;
  }
}

ResultCode sendCommand(PrinterDevice& device, std::uint16_t command, AclCommandBlock& block) {
  block = AclCommandBlock::request(command);
  ResultCode result = device.exchange(block, nullptr, 0);
  return failed(result) ? result : checkReply(block, command);
}

ResultCode readDataPhase(PrinterDevice& device, std::uint32_t length, std::string& text) {
  std::string received;
  try {
    received.resize(length);
  } catch (const std::bad_alloc&) {
    return ResultCode::allocationFailed;
  }
  if (length == 0) {
    text.clear();
    return ResultCode::noError;
  }
  std::uint32_t transferred = 0;
  LinkStatus status = device.readDataPiece(reinterpret_cast<std::uint8_t*>(received.data()), length, transferred);
  if (status != LinkStatus::ok || transferred != length) return ResultCode::receiveFailed;
  text = std::move(received);
  return ResultCode::noError;
}

ResultCode readTextPhase(PrinterDevice& device, std::uint32_t length, std::u16string& text) {
  std::string bytes;
  ResultCode result = readDataPhase(device, length, bytes);
  if (failed(result)) return result;
  text = widenPrinterText(bytes);
  return ResultCode::noError;
}

}  // namespace kestrava
