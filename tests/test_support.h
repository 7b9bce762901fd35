// Shared helpers of the tests: a printer device on an in-process virtual printer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/printer_device.h"
#include "usb/virtual_backend.h"
#include "virtual/scenario.h"

namespace kestrava::testing {

// A scenario with nothing in it: product id 0x0EF5, no answers, no files.
virtualprinter::Scenario emptyScenario(std::uint16_t productId = 0x0EF5);

// A virtual printer and a device connected to it (drained, ready for the first request).
struct ConnectedDevice {
  explicit ConnectedDevice(virtualprinter::Scenario scenario, bool open = true);
  VirtualBackend backend;
  PrinterDevice device;

  virtualprinter::VirtualPrinter& printer() { return backend.printer(); }
  std::size_t requestCount() { return printer().requestCount(); }
  // Commands of the requests the printer received, in order.
  std::vector<std::uint16_t> commands();
};

std::string hex(const std::string& bytes);

}  // namespace kestrava::testing
