#include "link/win32_backend.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstddef>

#include "link/win32_device_interfaces.h"

#include "base/text_codec.h"

namespace kestrava {

const GUID kUsbPrintInterfaceClass = {0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

namespace {

// A device path is at most 32767 characters; a detail size beyond that is not believed.
constexpr DWORD kMaxDetailSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + 32768 * sizeof(WCHAR);

class SetupApiInterfaceList : public DeviceInterfaceList {
 public:
  explicit SetupApiInterfaceList(HDEVINFO set) : set_(set) {}
  ~SetupApiInterfaceList() override { SetupDiDestroyDeviceInfoList(set_); }
  SetupApiInterfaceList(const SetupApiInterfaceList&) = delete;
  SetupApiInterfaceList& operator=(const SetupApiInterfaceList&) = delete;

  bool enumerate(DWORD index, SP_DEVICE_INTERFACE_DATA& interfaceData) override {
    return SetupDiEnumDeviceInterfaces(set_, nullptr, &kUsbPrintInterfaceClass, index, &interfaceData) != FALSE;
  }

  bool detail(SP_DEVICE_INTERFACE_DATA& interfaceData, SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
              DWORD* required) override {
    return SetupDiGetDeviceInterfaceDetailW(set_, &interfaceData, detail, size, required, nullptr) != FALSE;
  }

 private:
  HDEVINFO set_;
};

}  // namespace

std::unique_ptr<DeviceInterfaceList> openUsbPrintInterfaces() {
  HDEVINFO set =
      SetupDiGetClassDevsW(&kUsbPrintInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return nullptr;
  return usbPrintInterfacesOf(set);
}

std::unique_ptr<DeviceInterfaceList> usbPrintInterfacesOf(HDEVINFO set) {
  return std::make_unique<SetupApiInterfaceList>(set);
}

std::vector<std::u16string> readDevicePaths(DeviceInterfaceList& interfaces) {
  std::vector<std::u16string> paths;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (!interfaces.enumerate(index, interfaceData)) break;

    // The first call only asks for the size (and fails with ERROR_INSUFFICIENT_BUFFER).
    DWORD required = 0;
    interfaces.detail(interfaceData, nullptr, 0, &required);
    constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (required <= pathOffset || required > kMaxDetailSize) continue;

    // DWORD storage keeps the record aligned for its size field.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!interfaces.detail(interfaceData, detail, required, nullptr)) continue;

    const WCHAR* path = detail->DevicePath;
    std::size_t capacity = (required - pathOffset) / sizeof(WCHAR);
    std::size_t length = std::find(path, path + capacity, L'\0') - path;
    paths.emplace_back(path, path + length);
  }
  return paths;
}

std::string systemMessageText(std::uint32_t error) {
  wchar_t* text = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "unknown error";
  return toUtf8(fromWide(message));
}

std::string openFailureHintFor(std::uint32_t error) {
  if (error == ERROR_SUCCESS || error == ERROR_OPERATION_ABORTED) return {};
  const std::string code = "Windows error " + std::to_string(error) + ", \"" + systemMessageText(error) + "\"";
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_PIPE_BUSY:
      return "the printer is in use by another program, or this account may not open it (" + code +
             "); let a print job in progress finish or end the other program, then try again";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "the printer's driver offers no printer pipes (" + code +
             "); check in the Device Manager that the printer is driven by \"USB Printing Support\"";
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
      return "the printer went away while it was being opened (" + code + "); check its power and cable";
    default: return "the printer's pipes could not be opened (" + code + ")";
  }
}

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

}  // namespace

std::vector<VendorDevice> presentVendorDevices() {
  std::vector<VendorDevice> devices;
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
    VendorDevice found;
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

std::vector<VendorDevice> vendorDevicesOnOtherDrivers() {
  std::vector<VendorDevice> devices = presentVendorDevices();
  std::erase_if(devices, [](const VendorDevice& device) {
    const std::u16string driver = lowerAscii(device.service);
    return driver == u"usbprint" || driver == u"usbccgp";
  });
  return devices;
}

std::string otherDriverHint(const std::vector<VendorDevice>& devices) {
  std::string hint;
  for (const VendorDevice& device : devices) {
    if (!hint.empty()) hint += "; ";
    std::string name = toUtf8(device.description.empty() ? device.hardwareId : device.description);
    hint += "a printer of vendor 0x232B (" + name + ") is attached but driven by " +
            (device.service.empty() ? std::string("no driver") : "\"" + toUtf8(device.service) + "\"") +
            ", not USB Printing Support";
  }
  if (!hint.empty()) hint += "; Kestrava reads a printer only through USB Printing Support (see README.txt)";
  return hint;
}

class Win32Backend::Pipe : public UsbPipe {
 public:
  Pipe(Win32Backend& backend, HANDLE handle) : backend_(backend), handle_(handle) {}

  ~Pipe() override {
    backend_.forget(this);
    CloseHandle(handle_);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  long long write(const std::uint8_t* data, std::size_t count) override {
    if (count > MAXDWORD) {
      backend_.failed(ERROR_INVALID_PARAMETER);
      return -1;
    }
    OVERLAPPED overlapped{};
    DWORD written = 0;
    {
      // Started under the lock, as a read is: interrupt() either sees this write and
      // cancels it, or comes first and the write is never started. A write that waits for
      // a printer which stopped reading can so always be cut short.
      std::lock_guard<std::mutex> lock(backend_.mutex_);
      if (backend_.interrupted_) {
        backend_.failed(ERROR_OPERATION_ABORTED);
        return -1;
      }
      if (!WriteFile(handle_, data, static_cast<DWORD>(count), nullptr, &overlapped) &&
          GetLastError() != ERROR_IO_PENDING) {
        backend_.failed(GetLastError());
        return -1;
      }
    }
    if (!GetOverlappedResult(handle_, &overlapped, &written, TRUE)) {
      backend_.failed(GetLastError());
      return -1;
    }
    return written;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    overlapped_ = OVERLAPPED{};
    if (wanted > MAXDWORD) {
      backend_.failed(ERROR_INVALID_PARAMETER);
      return false;
    }
    DWORD got = 0;
    {
      // Started under the lock, so that interrupt() either sees this read and cancels
      // it, or comes first and the read is never started.
      std::lock_guard<std::mutex> lock(backend_.mutex_);
      if (backend_.interrupted_) {
        backend_.failed(ERROR_OPERATION_ABORTED);
        return false;
      }
      if (ReadFile(handle_, buffer, static_cast<DWORD>(wanted), nullptr, &overlapped_)) {
        if (!GetOverlappedResult(handle_, &overlapped_, &got, FALSE)) {
          backend_.failed(GetLastError());
          return false;
        }
        transferred = got;
        return true;
      }
      if (GetLastError() != ERROR_IO_PENDING) {
        backend_.failed(GetLastError());
        return false;
      }
    }
    // With no event in the overlapped record, the pipe handle itself is signalled when
    // the read completes.
    if (WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0) {
      if (!GetOverlappedResult(handle_, &overlapped_, &got, TRUE)) {
        backend_.failed(GetLastError());
        return false;
      }
      transferred = got;
      return true;
    }
    // The buffer belongs to the cancelled read until it has finished. A plain time-out
    // carries no system error.
    CancelIo(handle_);
    GetOverlappedResult(handle_, &overlapped_, &got, TRUE);
    backend_.failed(ERROR_SUCCESS);
    return false;
  }

  void cancel() { CancelIoEx(handle_, nullptr); }

 private:
  Win32Backend& backend_;
  HANDLE handle_;
  OVERLAPPED overlapped_{};
};

Win32Backend::Win32Backend() : source_(openUsbPrintInterfaces) {}

Win32Backend::Win32Backend(InterfaceSource source) : source_(std::move(source)) {}

Win32Backend::~Win32Backend() = default;

std::vector<std::u16string> Win32Backend::interfacePaths() {
  std::unique_ptr<DeviceInterfaceList> interfaces = source_();
  if (!interfaces) return {};
  return readDevicePaths(*interfaces);
}

std::unique_ptr<UsbPipe> Win32Backend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  std::wstring name = toWide(devicePath + u"\\" + fromUtf8(pipeName(end)));
  std::lock_guard<std::mutex> lock(mutex_);
  if (interrupted_) {
    lastError_ = lastOpenError_ = ERROR_OPERATION_ABORTED;
    return nullptr;
  }
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    lastError_ = lastOpenError_ = GetLastError();
    return nullptr;
  }
  lastOpenError_ = ERROR_SUCCESS;
  auto pipe = std::make_unique<Pipe>(*this, handle);
  pipes_.push_back(pipe.get());
  return pipe;
}

std::string Win32Backend::openFailureHint() const { return openFailureHintFor(lastOpenError_); }

void Win32Backend::interrupt() {
  std::lock_guard<std::mutex> lock(mutex_);
  interrupted_ = true;
  for (Pipe* pipe : pipes_) pipe->cancel();
}

bool Win32Backend::interrupted() {
  std::lock_guard<std::mutex> lock(mutex_);
  return interrupted_;
}

void Win32Backend::forget(Pipe* pipe) {
  std::lock_guard<std::mutex> lock(mutex_);
  pipes_.erase(std::remove(pipes_.begin(), pipes_.end(), pipe), pipes_.end());
}

}  // namespace kestrava
