// --check on Windows: what SetupAPI shows of printers of vendor 0x232B. The verdicts are
// made apart from the SetupAPI calls, so that they can be tried on made-up devices.
#pragma once

#include <string>
#include <vector>

#include "app/cli/machine_check.h"
#include "link/vendor_device.h"

namespace kestrava {

// The verdicts on the printer-class interfaces (GUID_DEVINTERFACE_USBPRINT) and the
// present USB devices of vendor 0x232B.
MachineCheck checkWindowsDevices(const std::vector<std::u16string>& interfacePaths,
                                 const std::vector<VendorDevice>& devices);

}  // namespace kestrava
