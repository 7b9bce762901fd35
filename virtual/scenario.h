// What a virtual printer answers and which faults it shows: loaded from a JSON scenario
// file (docs/virtual-printer.md) or built in.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::virtualprinter {

enum class FaultKind {
  status0,       // reply status 0 (the OID query still gets its data phase)
  badStatus,     // reply status `status` (default 2), no data phase
  wrongEcho,     // reply names another command, no data phase
  shortReply,    // an 8-byte reply block, no data phase
  noReply,       // nothing at all: the host's read times out
  shortData,     // the data phase stops half-way
  hugeLength,    // bytes 6..7 announce 0xFFFF, nothing follows
  hugeFileSize,  // bytes 6..9 announce 0xFFFFFFFF, nothing follows
  disconnect,    // the connection is lost before the reply
  lateReply,     // the whole reply comes `delayMs` after the host's read of it gave up
  trickle,       // a file read announces 64 MiB, then sends `pieceBytes` every
                 // `delayMs` until the host sends its next request
  splitReply,    // the first `pieceBytes` (1 to 15) of the reply block at once, the rest of
                 // the block and the data phase `delayMs` later
  splitData,     // the first half of the data phase at once, the rest `delayMs` later
};

// Which requests a fault hits: the request number in the session (1-based), the command,
// the OID "NAME.index" or file path it carries; unset fields match every request.
struct Fault {
  FaultKind kind = FaultKind::noReply;
  std::uint32_t request = 0;
  std::optional<std::uint16_t> command;
  std::string target;
  std::uint16_t status = 2;
  int times = -1;                   // how often it fires; -1: every time
  std::uint32_t delayMs = 300;      // lateReply: after the host gave up; trickle: between pieces;
                                    // split: between the two parts
  std::uint32_t pieceBytes = 5120;  // trickle: bytes a piece; splitReply: bytes of the first part
};

// A fault of `kind` at request `request` (0: every request).
inline Fault makeFault(FaultKind kind, std::uint32_t request = 0, std::uint16_t status = 2) {
  Fault fault;
  if (kind == FaultKind::trickle) fault.delayMs = 4500;
  // Split: the rest comes after the host's read of 5 s has given up, within the second the
  // link waits for late bytes.
  if (kind == FaultKind::splitReply || kind == FaultKind::splitData) fault.delayMs = 5500;
  if (kind == FaultKind::splitReply) fault.pieceBytes = 8;
  fault.kind = kind;
  fault.request = request;
  fault.status = status;
  return fault;
}

struct Scenario {
  std::uint16_t vendorId = 0x232B;
  std::uint16_t productId = 0x0EF5;
  std::string devicePath;                    // empty: built from the ids
  std::vector<std::string> otherInterfaces;  // enumerated before the printer
  std::string openFails;                     // "", "write" or "read": that pipe cannot be opened

  std::optional<std::string> firmwareVersion;  // 0x0001: up to 10 bytes at reply offset 6
  std::optional<std::string> buildInfo;        // 0x0008
  std::optional<std::string> serialNumber;     // 0xFF05
  bool serialLengthSwapped = false;            // 0xFF05 announces its length as 0D 00
  std::optional<std::uint16_t> ramSizeMb;      // 0xFF85
  std::map<std::string, std::string> oids;     // "NAME.index" -> answer bytes
  std::map<std::string, std::string> files;    // path -> contents

  std::string staleBytes;                        // queued on the read pipe when the host connects
  std::optional<std::uint32_t> disconnectAfter;  // the link is lost after this many requests
  std::uint32_t replyDelayMs = 0;                // a slow printer: each answer comes this late
  std::vector<Fault> faults;

  std::string path() const;  // the device path the printer enumerates under
};

// The built-in healthy printer: a P3301DN (mono with drum) on the Gorilla board.
Scenario healthyMonoPrinter();

// What a scenario may hold: a file of this size, nested this deep, no answer longer than
// the largest file a host reads, and all answers together within a bound, so no scenario
// can take the machine's memory.
inline constexpr std::size_t kMaxScenarioFileBytes = 16u << 20;
inline constexpr std::size_t kMaxScenarioDepth = 32;
inline constexpr std::uint32_t kMaxAnswerBytes = 64u << 20;
inline constexpr std::size_t kMaxScenarioBytes = 256u << 20;

// Parses a scenario; throws std::runtime_error naming what is wrong. Its answers take
// their bytes from `budget`, which several scenarios side by side share.
Scenario parseScenario(const std::string& jsonText, std::size_t& budget);
Scenario parseScenario(const std::string& jsonText);

// Loads scenario files, each a regular file; throws std::runtime_error naming the file and
// the reason. A list is bounded as one scenario is: kMaxScenarioFileBytes of files and
// kMaxScenarioBytes of answers in all.
Scenario loadScenario(const std::string& fileName);
std::vector<Scenario> loadScenarios(const std::vector<std::string>& fileNames);

}  // namespace kestrava::virtualprinter
