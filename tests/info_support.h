// Helpers of the information tests: faults to inject and what the printer was asked.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "boards/identify_board.h"
#include "test_support.h"

namespace kestrava::testing {

using virtualprinter::Fault;
using virtualprinter::FaultKind;

// A fault on every OID query for "NAME.index" (`times` -1: every time).
inline Fault oidFault(FaultKind kind, std::string target, int times = -1) {
  Fault fault;
  fault.kind = kind;
  fault.command = aclcmd::oidQuery;
  fault.target = std::move(target);
  fault.times = times;
  return fault;
}

// A fault on every request with this command code.
inline Fault commandFault(FaultKind kind, std::uint16_t command, int times = -1) {
  Fault fault;
  fault.kind = kind;
  fault.command = command;
  fault.times = times;
  return fault;
}

// What each request asked for, in order: "NAME.index" for an OID query, the path for a
// file read, the command code in hex ("0001", "FF85") for the others.
inline std::vector<std::string> asked(ConnectedDevice& fixture) {
  std::vector<std::string> out;
  for (const auto& request : fixture.printer().requests()) {
    if (request.command == aclcmd::oidQuery) {
      const std::string head = "<!--#ssi 0 ";
      const std::string tail = " -->";
      out.push_back(request.data.substr(head.size(), request.data.size() - head.size() - tail.size()));
    } else if (request.command == aclcmd::fileRead) {
      out.push_back(request.data);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "%04X", request.command);
      out.push_back(code);
    }
  }
  return out;
}

// Identifies the board of the fixture's printer and applies what identification decided,
// as a run's item phase does. Returns the number of requests identification took.
inline std::size_t identifyAndApply(ConnectedDevice& fixture) {
  fixture.info.apply(identifyBoard(fixture.info).identity);
  return fixture.requestCount();
}

// What the requests from the `first` on asked for.
inline std::vector<std::string> askedFrom(ConnectedDevice& fixture, std::size_t first) {
  std::vector<std::string> all = asked(fixture);
  all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())));
  return all;
}

}  // namespace kestrava::testing
