// The SetupAPI side of the Windows back end's interface search, with the system's types:
// kept apart so that the search can be run against interfaces a test makes up.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <memory>
#include <string>
#include <vector>

#include "link/win32_backend.h"

namespace kestrava {

// The SetupAPI calls of the interface search, over one device information set.
class DeviceInterfaceList {
 public:
  virtual ~DeviceInterfaceList() = default;  // releases the device information set

  // SetupDiEnumDeviceInterfaces at `index`; false when there is no interface there.
  virtual bool enumerate(DWORD index, SP_DEVICE_INTERFACE_DATA& interfaceData) = 0;

  // SetupDiGetDeviceInterfaceDetailW: fills `detail` (`size` bytes; null with size 0)
  // and, when `required` is not null, stores the size the detail needs.
  virtual bool detail(SP_DEVICE_INTERFACE_DATA& interfaceData, SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
                      DWORD* required) = 0;
};

// The GUID_DEVINTERFACE_USBPRINT interfaces of `set`, which the list takes over.
std::unique_ptr<DeviceInterfaceList> usbPrintInterfacesOf(HDEVINFO set);

// GUID_DEVINTERFACE_USBPRINT: the interface class of USB printers.
extern const GUID kUsbPrintInterfaceClass;

// Device paths of the interfaces in enumeration order. Each detail is read into a record
// of the size SetupAPI asks for; an interface whose detail cannot be read is left out, so
// that a long or broken path of some other device cannot hide a printer behind it.
std::vector<std::u16string> readDevicePaths(DeviceInterfaceList& interfaces);

}  // namespace kestrava
