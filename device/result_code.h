// Result codes of every printer operation and the board-identification stage codes.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace kestrava {

// Result of every PrinterDevice operation, an unsigned 32-bit number; 0 is success.
enum class [[nodiscard]] ResultCode : std::uint32_t {
  noError = 0,
  printerNotFound = 1,
  connectFailed = 2,
  disconnectFailed = 3,  // kept in the table, produced by nothing
  notConnected = 4,
  sendFailed = 5,
  receiveFailed = 6,
  invalidResponse = 7,
  executionFailed = 8,
  executionError = 9,
  allocationFailed = 10,
  countersNotDefined = 11,
  bufferTooSmall = 12,
  handlerNotDefined = 13,
  buildDateFailed = 14,
};

inline bool failed(ResultCode result) { return result != ResultCode::noError; }

// The board-identification step that failed; none when no step did.
enum class StageCode : std::uint32_t {
  none = 0,
  platform = 1,    // "EPLT": link not open, or /bin/busybox unreadable
  version = 2,     // "EVER": firmware version
  buildDate = 3,   // "EBLD"
  ramSize = 4,     // "ERAM"
  generation = 5,  // "EGEN"
};

// The fixed English text of a result code, or nullptr for a code without one.
const char16_t* resultText(ResultCode code);

// The tag of a stage code ("" for none), or nullptr for a code without one.
const char16_t* stageTag(StageCode code);

// "6 (receive data from printer failed)", "2 (EVER)": for logs and test messages.
std::ostream& operator<<(std::ostream& out, ResultCode code);
std::ostream& operator<<(std::ostream& out, StageCode code);

}  // namespace kestrava
