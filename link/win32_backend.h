// The Windows back end of the link: printer-class device interfaces found through
// SetupAPI, and the printer's two pipes opened as files under its device path.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "link/usb_backend.h"

namespace kestrava {

// The SetupAPI calls of the interface search, over one device information set. Kept
// apart so that the search can be run against interfaces a test makes up.
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

// The present interfaces of GUID_DEVINTERFACE_USBPRINT; nullptr when SetupAPI gives no
// device information set.
std::unique_ptr<DeviceInterfaceList> openUsbPrintInterfaces();

// The GUID_DEVINTERFACE_USBPRINT interfaces of `set`, which the list takes over.
std::unique_ptr<DeviceInterfaceList> usbPrintInterfacesOf(HDEVINFO set);

// GUID_DEVINTERFACE_USBPRINT: the interface class of USB printers.
extern const GUID kUsbPrintInterfaceClass;

// Device paths of the interfaces in enumeration order. Each detail is read into a record
// of the size SetupAPI asks for; an interface whose detail cannot be read is left out, so
// that a long or broken path of some other device cannot hide a printer behind it.
std::vector<std::u16string> readDevicePaths(DeviceInterfaceList& interfaces);

class Win32Backend : public UsbBackend {
 public:
  using InterfaceSource = std::function<std::unique_ptr<DeviceInterfaceList>()>;

  explicit Win32Backend(InterfaceSource source = openUsbPrintInterfaces);
  ~Win32Backend() override;

  std::vector<std::u16string> interfacePaths() override;

  // "\PIPE00" opened for synchronous writes, "\PIPE01" for overlapped reads; both
  // without sharing, so a pipe that another program holds cannot be opened.
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

  // Callable from any thread: cancels the read in progress and makes every later open,
  // write and read fail at once. For a dialog that is closing while a run still talks
  // to the printer.
  void interrupt();

  class Pipe;

 private:
  bool interrupted();
  void forget(Pipe* pipe);

  InterfaceSource source_;
  std::mutex mutex_;  // guards the two members below and the start of every read
  bool interrupted_ = false;
  std::vector<Pipe*> pipes_;
};

}  // namespace kestrava
