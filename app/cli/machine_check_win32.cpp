// --check on Windows: SetupAPI's printer-class interfaces and the present USB devices of
// vendor 0x232B with the driver service of each.
#include <windows.h>
#include <setupapi.h>

#include "app/cli/machine_check_windows.h"
#include "link/win32_backend.h"

namespace kestrava {

namespace {

std::u16string lowerAscii(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

// A registry property of the device as text; a list of strings (REG_MULTI_SZ) as its
// strings. Empty when the device has no such property.
std::vector<std::u16string> deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0, size = 0;
  SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
  if (size == 0 || size > 65536) return {};
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()), size,
                                         nullptr)) {
    return {};
  }
  std::vector<std::u16string> strings;
  for (std::size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
    std::size_t end = at;
    while (end < buffer.size() && buffer[end] != L'\0') ++end;
    strings.emplace_back(buffer.begin() + static_cast<std::ptrdiff_t>(at),
                         buffer.begin() + static_cast<std::ptrdiff_t>(end));
    if (type != REG_MULTI_SZ) break;
    at = end + 1;
  }
  return strings;
}

// Every present USB device whose hardware id begins with "USB\VID_232B", whatever drives it.
std::vector<WindowsUsbDevice> presentVendorDevices() {
  std::vector<WindowsUsbDevice> devices;
  HDEVINFO set = SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return devices;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(set, index, &device)) break;
    std::vector<std::u16string> ids = deviceProperty(set, device, SPDRP_HARDWAREID);
    bool ours = false;
    for (const std::u16string& id : ids) ours = ours || lowerAscii(id).rfind(u"usb\\vid_232b", 0) == 0;
    if (!ours) continue;
    WindowsUsbDevice found;
    found.hardwareId = ids.front();
    std::vector<std::u16string> service = deviceProperty(set, device, SPDRP_SERVICE);
    if (!service.empty()) found.service = service.front();
    std::vector<std::u16string> name = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
    if (name.empty()) name = deviceProperty(set, device, SPDRP_DEVICEDESC);
    if (!name.empty()) found.description = name.front();
    devices.push_back(std::move(found));
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

}  // namespace

MachineCheck checkThisMachine() {
  std::vector<std::u16string> paths;
  if (std::unique_ptr<DeviceInterfaceList> interfaces = openUsbPrintInterfaces()) paths = readDevicePaths(*interfaces);
  return checkWindowsDevices(paths, presentVendorDevices());
}

}  // namespace kestrava
