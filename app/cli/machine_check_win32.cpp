// --check on Windows: SetupAPI's printer-class interfaces and the present USB devices of
// vendor 0x232B with the driver service of each.
#include "app/cli/machine_check_windows.h"
#include "link/win32_backend.h"
#include "link/win32_device_interfaces.h"

namespace kestrava {

MachineCheck checkThisMachine() {
  std::vector<std::u16string> paths;
  if (std::unique_ptr<DeviceInterfaceList> interfaces = openUsbPrintInterfaces()) paths = readDevicePaths(*interfaces);
  return checkWindowsDevices(paths, presentVendorDevices());
}

}  // namespace kestrava
