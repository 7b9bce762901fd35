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
};

// Which requests a fault hits: the request number in the session (1-based), the command,
// the OID "NAME.index" or file path it carries; unset fields match every request.
struct Fault {
  FaultKind kind = FaultKind::noReply;
  std::uint32_t request = 0;
  std::optional<std::uint16_t> command;
  std::string target;
  std::uint16_t status = 2;
  int times = -1;  // how often it fires; -1: every time
};

// A fault of `kind` at request `request` (0: every request).
inline Fault makeFault(FaultKind kind, std::uint32_t request = 0, std::uint16_t status = 2) {
  Fault fault;
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

  std::string staleBytes;                  // queued on the read pipe when the host connects
  std::optional<std::uint32_t> disconnectAfter;  // the link is lost after this many requests
  std::uint32_t replyDelayMs = 0;          // a slow printer: each answer comes this late
  std::vector<Fault> faults;

  std::string path() const;  // the device path the printer enumerates under
};

// The built-in healthy printer: a P3301DN (mono with drum) on the Gorilla board.
Scenario healthyMonoPrinter();

// Parses a scenario; throws std::runtime_error naming what is wrong.
Scenario parseScenario(const std::string& jsonText);
Scenario loadScenario(const std::string& fileName);

}  // namespace kestrava::virtualprinter
