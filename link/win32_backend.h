// The Windows back end of the link: printer-class device interfaces found through
// SetupAPI, and the printer's two pipes opened as files under its device path. The
// system's headers stay in the implementation; the SetupAPI seam the tests fake is
// link/win32_device_interfaces.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/usb_backend.h"
#include "link/vendor_device.h"

namespace kestrava {

class DeviceInterfaceList;  // link/win32_device_interfaces.h: the SetupAPI seam

// The present interfaces of GUID_DEVINTERFACE_USBPRINT; nullptr when SetupAPI gives no
// device information set.
std::unique_ptr<DeviceInterfaceList> openUsbPrintInterfaces();

// The system's text for an error code (FormatMessageW), in UTF-8, without the final
// full stop and line end; "unknown error" when the system has none.
std::string systemMessageText(std::uint32_t error);

// The advice after a pipe of the printer could not be opened with that error code: what
// the code most likely means here, with the number and the system's text, and what to do
// next. Empty for 0 and for an open cut short by the program itself.
std::string openFailureHintFor(std::uint32_t error);

// The present USB devices of vendor 0x232B (a hardware id that begins with
// "USB\VID_232B", any letter case), whatever drives them: SetupDiGetClassDevs with
// DIGCF_ALLCLASSES | DIGCF_PRESENT.
std::vector<VendorDevice> presentVendorDevices();

// Those of presentVendorDevices that neither USB Printing Support ("usbprint") nor
// the composite-device driver ("usbccgp", which hands its interfaces to drivers of their
// own) drives: a printer Windows prints to through a maker's own driver, whose pipes
// Kestrava cannot open.
std::vector<VendorDevice> vendorDevicesOnOtherDrivers();

// What to tell after "printer not found" about such devices; empty when there are none.
std::string otherDriverHint(const std::vector<VendorDevice>& devices);

class Win32Backend : public UsbBackend {
 public:
  using InterfaceSource = std::function<std::unique_ptr<DeviceInterfaceList>()>;

  // The printers SetupAPI lists (openUsbPrintInterfaces).
  Win32Backend();
  explicit Win32Backend(InterfaceSource source);
  ~Win32Backend() override;
  // Its pipes hold on to it.
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  std::vector<std::u16string> interfacePaths() override;

  // "\PIPE00" and "\PIPE01" both opened for overlapped I/O and without sharing (whether
  // the printer's driver then keeps other programs out is up to the driver).
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

  std::string openFailureHint() const override;
  // After "printer not found": a printer of the vendor that another driver drives.
  std::string notFoundHint() const override { return otherDriverHint(vendorDevicesOnOtherDrivers()); }
  std::uint32_t lastSystemError() const override { return lastError_; }

  // Callable from any thread: cancels the write or read in progress and makes every
  // later open, write and read fail at once. For a dialog that is closing while a run
  // still talks to the printer.
  void interrupt();
  void cancelTransfer() override { interrupt(); }

  class Pipe;

 private:
  bool interrupted();
  void forget(Pipe* pipe);
  void failed(std::uint32_t error) { lastError_ = error; }

  InterfaceSource source_;
  std::mutex mutex_;  // guards the two members below and the start of every read
  bool interrupted_ = false;
  std::vector<Pipe*> pipes_;
  std::atomic<std::uint32_t> lastError_{0};      // of the last open, write or read that failed
  std::atomic<std::uint32_t> lastOpenError_{0};  // of the last open; 0 after one that succeeded
};

}  // namespace kestrava
