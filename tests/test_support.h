// Shared helpers of the tests: a printer device, and what it knows, on an in-process
// virtual printer.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "device/printer_device.h"
#include "info/printer_info.h"
#include "net/tcp_socket.h"
#include "link/trace_backend.h"
#include "virtual/virtual_backend.h"
#include "virtual/scenario.h"

namespace kestrava::testing {

// A scenario with nothing in it: product id 0x0EF5, no answers, no files.
virtualprinter::Scenario emptyScenario(std::uint16_t productId = 0x0EF5);

// A socket listening on 127.0.0.1 at a free port, which lands in `port`: a peer a test
// drives itself.
net::Socket listenOnLoopback(std::uint16_t& port);

// Path of a file of the source tree.
std::string sourcePath(const std::string& relative);

// The whole content of a file, as bytes; empty when it cannot be read.
std::string fileText(const std::string& path);

// A virtual printer and a device connected to it (drained, ready for the first request),
// with the information layer that asks through it (nothing identified, nothing kept).
// Every pipe operation after the drain is kept in `events`, in order.
struct ConnectedDevice {
  explicit ConnectedDevice(virtualprinter::Scenario scenario, bool open = true);
  VirtualBackend backend;
  std::vector<TraceEvent> events;
  TraceBackend traced;
  PrinterDevice device;
  PrinterInfo info;

  // Sizes of the writes and reads (bytes handed over) kept in `events`.
  std::vector<std::size_t> writeSizes() const;
  std::vector<std::size_t> readSizes() const;

  virtualprinter::VirtualPrinter& printer() { return backend.printer(); }
  std::size_t requestCount() { return printer().requestCount(); }
  // Commands of the requests the printer received, in order.
  std::vector<std::uint16_t> commands();
};

std::string hex(const std::string& bytes);

// The protocol end to end through a transport to the built-in healthy printer: open, drain,
// an OID query, a file read larger than its buffer, close; failures are reported through
// the test framework.
void expectWholeProtocol(UsbBackend& backend);

// A result code as the tables of the tests write it: by its number, the way the row
// names and the protocol's documentation give it ("file stops short: 6").
struct ExpectedCode {
  constexpr ExpectedCode(unsigned number) : code(static_cast<ResultCode>(number)) {}
  constexpr ExpectedCode(ResultCode result) : code(result) {}
  constexpr operator ResultCode() const { return code; }
  ResultCode code;
};
inline std::ostream& operator<<(std::ostream& out, ExpectedCode expected) { return out << expected.code; }

}  // namespace kestrava::testing
