// A present USB device of vendor 0x232B as Windows' device manager (SetupAPI) describes
// it, whatever driver runs it. Plain data, so that what is said of such devices can be
// tried on made-up ones on any system.
#pragma once

#include <string>

namespace kestrava {

struct VendorDevice {
  std::u16string hardwareId;   // the first of its hardware ids, "USB\VID_232B&PID_0EF5&REV_0100"
  std::u16string description;  // its friendly name or device description; may be empty
  std::u16string service;      // the driver service that drives it; empty when none does
};

}  // namespace kestrava
