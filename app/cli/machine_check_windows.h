// --check on Windows: what SetupAPI shows of printers of vendor 0x232B. The verdicts are
// made apart from the SetupAPI calls, so that they can be tried on made-up devices.
#pragma once

#include <string>
#include <vector>

#include "app/cli/machine_check.h"

namespace kestrava {

// A present USB device of the vendor, as the device manager lists it.
struct WindowsUsbDevice {
  std::u16string hardwareId;   // its first hardware id, "USB\VID_232B&PID_0EF5&REV_0100"
  std::u16string description;  // its friendly name or device description; may be empty
  std::u16string service;      // the driver service that drives it; empty when none does
};

// The verdicts on the printer-class interfaces (GUID_DEVINTERFACE_USBPRINT) and the
// present USB devices of vendor 0x232B.
MachineCheck checkWindowsDevices(const std::vector<std::u16string>& interfacePaths,
                                 const std::vector<WindowsUsbDevice>& devices);

}  // namespace kestrava
