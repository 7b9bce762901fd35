// Result codes of every printer operation and the board-identification stage codes.
#pragma once

#include <cstdint>
#include <string>

namespace kestrava {

// Unsigned 32-bit result of every PrinterDevice operation; 0 is success.
using ResultCode = std::uint32_t;

namespace rc {
inline constexpr ResultCode noError = 0;
inline constexpr ResultCode printerNotFound = 1;
inline constexpr ResultCode connectFailed = 2;
inline constexpr ResultCode disconnectFailed = 3;  // kept in the table, produced by nothing
inline constexpr ResultCode notConnected = 4;
inline constexpr ResultCode sendFailed = 5;
inline constexpr ResultCode receiveFailed = 6;
inline constexpr ResultCode invalidResponse = 7;
inline constexpr ResultCode executionFailed = 8;
inline constexpr ResultCode executionError = 9;
inline constexpr ResultCode allocationFailed = 10;
inline constexpr ResultCode countersNotDefined = 11;
inline constexpr ResultCode bufferTooSmall = 12;
inline constexpr ResultCode handlerNotDefined = 13;
inline constexpr ResultCode buildDateFailed = 14;
}  // namespace rc

// Index of the board-identification step that failed; 0 when none did.
using StageCode = std::uint32_t;

namespace stage {
inline constexpr StageCode none = 0;
inline constexpr StageCode platform = 1;    // "EPLT": link not open, or /bin/busybox unreadable
inline constexpr StageCode version = 2;     // "EVER": firmware version
inline constexpr StageCode buildDate = 3;   // "EBLD"
inline constexpr StageCode ramSize = 4;     // "ERAM"
inline constexpr StageCode generation = 5;  // "EGEN"
}  // namespace stage

// The fixed English text of a result code, or nullptr for a code without one.
const char16_t* resultText(ResultCode code);

// The tag of a stage code ("" for 0), or nullptr for a code without one.
const char16_t* stageTag(StageCode code);

}  // namespace kestrava
