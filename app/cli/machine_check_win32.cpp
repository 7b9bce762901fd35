// --check on Windows: SetupAPI's printer-class interfaces and the present USB devices of
// vendor 0x232B with the driver service of each.
#include "app/cli/machine_check_windows.h"
#include "link/win32_backend.h"
#include "link/win32_device_interfaces.h"

namespace kestrava {

namespace {

std::vector<WindowsUsbDevice> presentDevices() {
  std::vector<WindowsUsbDevice> devices;
  for (VendorDevice& device : presentVendorDevices()) {
    devices.push_back({std::move(device.hardwareId), std::move(device.description), std::move(device.service)});
  }
  return devices;
}

}  // namespace

MachineCheck checkThisMachine() {
  std::vector<std::u16string> paths;
  if (std::unique_ptr<DeviceInterfaceList> interfaces = openUsbPrintInterfaces()) paths = readDevicePaths(*interfaces);
  return checkWindowsDevices(paths, presentDevices());
}

}  // namespace kestrava
