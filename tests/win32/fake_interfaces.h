// Made-up printer-class interfaces behind the SetupAPI seam of the Windows back end,
// answering the detail query the way SetupAPI does: the size it needs, and a failure
// for any record too small for the path.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "link/win32_backend.h"
#include "link/win32_device_interfaces.h"

namespace kestrava::testing {

struct FakeInterface {
  std::u16string path;
  bool detailFails = false;  // the size is given, the detail itself cannot be read
};

class FakeInterfaceList : public DeviceInterfaceList {
 public:
  explicit FakeInterfaceList(std::vector<FakeInterface> interfaces) : interfaces_(std::move(interfaces)) {}

  bool enumerate(DWORD index, SP_DEVICE_INTERFACE_DATA& interfaceData) override {
    if (index >= interfaces_.size()) {
      SetLastError(ERROR_NO_MORE_ITEMS);
      return false;
    }
    interfaceData.Reserved = index;
    return true;
  }

  bool detail(SP_DEVICE_INTERFACE_DATA& interfaceData, SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
              DWORD* required) override {
    const FakeInterface& item = interfaces_.at(interfaceData.Reserved);
    DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                      (item.path.size() + 1) * sizeof(WCHAR));
    if (required) *required = needed;
    if (!detail || size < needed) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return false;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return false;
    }
    if (item.detailFails) {
      SetLastError(ERROR_NOT_FOUND);
      return false;
    }
    std::copy(item.path.begin(), item.path.end(), detail->DevicePath);
    detail->DevicePath[item.path.size()] = L'\0';
    return true;
  }

 private:
  std::vector<FakeInterface> interfaces_;
};

// A source for Win32Backend that enumerates these interfaces every time.
inline Win32Backend::InterfaceSource fakeInterfaces(std::vector<FakeInterface> interfaces) {
  return [interfaces] { return std::make_unique<FakeInterfaceList>(interfaces); };
}

// A device path of another vendor's printer, longer than the 127 characters a 260-byte
// detail record leaves room for.
inline std::u16string longOtherPath() {
  return u"\\\\?\\usb#vid_04b8&pid_0e28&mi_00#7&" + std::u16string(150, u'a') +
         u"&0&0000#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}

}  // namespace kestrava::testing
