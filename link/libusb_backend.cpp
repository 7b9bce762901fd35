#include "link/libusb_backend.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <libusb.h>
#include <unistd.h>

#include "base/text_codec.h"
#include "link/udev_rule.h"

namespace kestrava {

std::u16string PrinterInterface::devicePath() const {
  std::string portChain;
  for (std::uint8_t port : ports) {
    if (!portChain.empty()) portChain += '.';
    portChain += std::to_string(port);
  }
  if (portChain.empty()) portChain = "0";
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x#", vendorId, productId);
  return fromUtf8(std::string(ids) + std::to_string(bus) + '-' + portChain + ':' + std::to_string(configuration) + '.' +
                  std::to_string(interfaceNumber));
}

namespace {

// Two port chains in order, port by port; a chain comes before the longer ones it begins.
// Written out rather than the vectors' own <: GCC 14 at -O3 sees a length it cannot bound
// in the memcmp that becomes and warns (-Wstringop-overread) though both are real sizes.
int comparePorts(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

void sortByPosition(std::vector<PrinterInterface>& interfaces) {
  std::stable_sort(interfaces.begin(), interfaces.end(), [](const PrinterInterface& a, const PrinterInterface& b) {
    if (a.bus != b.bus) return a.bus < b.bus;
    if (int ports = comparePorts(a.ports, b.ports); ports != 0) return ports < 0;
    return a.interfaceNumber < b.interfaceNumber;
  });
}

PrinterEndpoints choosePrinterEndpoints(const libusb_interface& interface) {
  PrinterEndpoints chosen;
  for (int alt = 0; alt < interface.num_altsetting; ++alt) {
    const libusb_interface_descriptor& setting = interface.altsetting[alt];
    if (setting.bInterfaceClass != LIBUSB_CLASS_PRINTER) continue;
    PrinterEndpoints candidate;
    candidate.altSetting = alt;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
      if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      bool in = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
      if (in && candidate.in == 0) {
        candidate.in = endpoint.bEndpointAddress;
        candidate.inMaxPacketSize = endpoint.wMaxPacketSize;
      } else if (!in && candidate.out == 0) {
        candidate.out = endpoint.bEndpointAddress;
      }
    }
    if (candidate.in == 0 || candidate.out == 0) continue;
    // Protocol 1 is unidirectional (no replies), 3 is IEEE 1284.4, which wraps the bytes
    // in packets of its own; protocol 2 carries the command language as it is.
    if (setting.bInterfaceProtocol == 2) return candidate;
    if (chosen.altSetting < 0) chosen = candidate;
  }
  return chosen;
}

std::size_t InTransferRemainder::transferSize(std::size_t wanted, std::uint16_t maxPacketSize) {
  if (maxPacketSize == 0) return wanted;
  return (wanted + maxPacketSize - 1) / maxPacketSize * maxPacketSize;
}

std::size_t InTransferRemainder::take(std::uint8_t* buffer, std::size_t wanted) {
  std::size_t count = std::min(wanted, bytes_.size() - next_);
  if (count > 0) std::memcpy(buffer, bytes_.data() + next_, count);
  next_ += count;
  if (empty()) {
    bytes_.clear();
    next_ = 0;
  }
  return count;
}

void InTransferRemainder::keep(const std::uint8_t* data, std::size_t count) {
  bytes_.insert(bytes_.end(), data, data + count);
}

struct LibusbBackend::Context {
  Context() {
    if (libusb_init(&handle) != LIBUSB_SUCCESS) handle = nullptr;
  }
  ~Context() {
    if (handle) libusb_exit(handle);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  libusb_context* handle = nullptr;
};

// The cancel of a back end, shared with its pipes: the transfer in flight, and whether
// the back end was cancelled. A transfer is submitted under the lock, so a cancel either
// finds it in flight or comes first and the transfer is never submitted.
struct LibusbBackend::Cancel {
  std::mutex mutex;
  bool cancelled = false;
  libusb_transfer* inFlight = nullptr;

  bool isSet() {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
  }
};

// The claimed printer interface, shared by its two pipes; the last pipe to go releases it
// and gives the interface back to the kernel's printer driver.
struct LibusbBackend::Session {
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    if (claimed) libusb_release_interface(handle, interfaceNumber);
    if (driverDetached) libusb_attach_kernel_driver(handle, interfaceNumber);
    if (handle) libusb_close(handle);
  }

  std::shared_ptr<Context> context;  // outlives the handle
  libusb_device_handle* handle = nullptr;
  int interfaceNumber = 0;
  bool driverDetached = false;
  bool claimed = false;
  PrinterEndpoints endpoints;
};

namespace {

// The device list of a context, with the interfaces of class 7 of every device.
class DeviceList {
 public:
  explicit DeviceList(libusb_context* context) {
    if (!context) return;
    ssize_t count = libusb_get_device_list(context, &list_);
    if (count < 0) {
      list_ = nullptr;
      return;
    }
    for (ssize_t i = 0; i < count; ++i) addPrinterInterfaces(list_[i]);
  }
  ~DeviceList() {
    if (list_) libusb_free_device_list(list_, 1);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  struct Entry {
    PrinterInterface interface;
    libusb_device* device;
  };
  std::vector<Entry> entries;

 private:
  void addPrinterInterfaces(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return;
    libusb_config_descriptor* config = nullptr;
    // An unconfigured device has no active configuration; its first one is what the
    // kernel will select.
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
      return;
    }
    std::uint8_t ports[8];
    int portCount = libusb_get_port_numbers(device, ports, sizeof ports);
    for (int i = 0; i < config->bNumInterfaces; ++i) {
      const libusb_interface& interface = config->interface[i];
      bool printer = false;
      for (int alt = 0; alt < interface.num_altsetting; ++alt) {
        printer = printer || interface.altsetting[alt].bInterfaceClass == LIBUSB_CLASS_PRINTER;
      }
      if (!printer) continue;
      PrinterInterface found;
      found.vendorId = descriptor.idVendor;
      found.productId = descriptor.idProduct;
      found.bus = libusb_get_bus_number(device);
      if (portCount > 0) found.ports.assign(ports, ports + portCount);
      found.configuration = config->bConfigurationValue;
      found.interfaceNumber = interface.altsetting[0].bInterfaceNumber;
      entries.push_back({found, device});
    }
    libusb_free_config_descriptor(config);
  }

  libusb_device** list_ = nullptr;
};

void LIBUSB_CALL transferDone(libusb_transfer* transfer) { *static_cast<int*>(transfer->user_data) = 1; }

// The libusb status of a finished transfer, as libusb_bulk_transfer gives it.
int transferStatus(const libusb_transfer& transfer) {
  switch (transfer.status) {
    case LIBUSB_TRANSFER_COMPLETED: return LIBUSB_SUCCESS;
    case LIBUSB_TRANSFER_TIMED_OUT: return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_STALL: return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_NO_DEVICE: return LIBUSB_ERROR_NO_DEVICE;
    case LIBUSB_TRANSFER_OVERFLOW: return LIBUSB_ERROR_OVERFLOW;
    case LIBUSB_TRANSFER_CANCELLED: return LIBUSB_ERROR_INTERRUPTED;
    default: return LIBUSB_ERROR_IO;
  }
}

class LibusbPipe : public UsbPipe {
 public:
  LibusbPipe(std::shared_ptr<LibusbBackend::Session> session, std::shared_ptr<LibusbBackend::Cancel> cancel,
             PipeEnd end)
      : session_(std::move(session)), cancel_(std::move(cancel)), end_(end) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    if (end_ != PipeEnd::write || count > INT_MAX) return -1;
    if (count == 0) return 0;
    int sent = 0;
    unsigned char endpoint = session_->endpoints.out;
    int status = bulkTransfer(endpoint, const_cast<std::uint8_t*>(data), static_cast<int>(count), sent,
                              LibusbBackend::writeTimeoutMs);
    if (status == LIBUSB_ERROR_PIPE) libusb_clear_halt(session_->handle, endpoint);
    // A time-out leaves a short count, which the link reports as a failed write.
    if (status == LIBUSB_SUCCESS || status == LIBUSB_ERROR_TIMEOUT) return sent;
    return -1;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    if (end_ != PipeEnd::read) return false;
    if (wanted == 0) return true;
    if (!remainder_.empty()) {
      transferred = remainder_.take(buffer, wanted);
      return true;
    }
    std::size_t size = InTransferRemainder::transferSize(wanted, session_->endpoints.inMaxPacketSize);
    if (size > INT_MAX) size = wanted > INT_MAX ? INT_MAX : wanted;
    scratch_.resize(size);
    int got = 0;
    unsigned char endpoint = session_->endpoints.in;
    // libusb waits without end on a time-out of 0.
    unsigned int timeout = timeoutMs == 0 ? 1 : timeoutMs;
    int status = bulkTransfer(endpoint, scratch_.data(), static_cast<int>(size), got, timeout);
    if (status == LIBUSB_ERROR_PIPE) {
      libusb_clear_halt(session_->handle, endpoint);
      return false;
    }
    // libusb cancels a timed-out transfer and finishes it before it reports it. Bytes that
    // came before the time-out were sent by the printer and are handed on, not dropped; a
    // transfer cancelled by the back end's cancel is a failure.
    if (status != LIBUSB_SUCCESS && !(status == LIBUSB_ERROR_TIMEOUT && got > 0)) return false;
    std::size_t received = static_cast<std::size_t>(got);
    std::size_t count = std::min(received, wanted);
    std::memcpy(buffer, scratch_.data(), count);
    remainder_.keep(scratch_.data() + count, received - count);
    transferred = count;
    return true;
  }

 private:
  // libusb_bulk_transfer, but asynchronous underneath so that cancelTransfer can cut it
  // short from another thread: submitted, then this thread handles the context's events
  // until it has finished (completed, timed out, failed or cancelled).
  int bulkTransfer(unsigned char endpoint, unsigned char* data, int length, int& transferred, unsigned int timeout) {
    transferred = 0;
    std::unique_ptr<libusb_transfer, void (*)(libusb_transfer*)> transfer(libusb_alloc_transfer(0),
                                                                          libusb_free_transfer);
    if (!transfer) return LIBUSB_ERROR_NO_MEM;
    int completed = 0;
    libusb_fill_bulk_transfer(transfer.get(), session_->handle, endpoint, data, length, transferDone, &completed,
                              timeout);
    {
      std::lock_guard<std::mutex> lock(cancel_->mutex);
      if (cancel_->cancelled) return LIBUSB_ERROR_INTERRUPTED;
      int submitted = libusb_submit_transfer(transfer.get());
      if (submitted != LIBUSB_SUCCESS) return submitted;
      cancel_->inFlight = transfer.get();
    }
    libusb_context* context = session_->context->handle;
    while (!completed) {
      int handled = libusb_handle_events_completed(context, &completed);
      // Should the event handling itself fail, the transfer is cancelled and still
      // waited for: its buffer is the caller's until it has finished.
      if (handled < 0 && handled != LIBUSB_ERROR_INTERRUPTED) libusb_cancel_transfer(transfer.get());
    }
    {
      std::lock_guard<std::mutex> lock(cancel_->mutex);
      cancel_->inFlight = nullptr;
    }
    transferred = transfer->actual_length;
    return transferStatus(*transfer);
  }

  std::shared_ptr<LibusbBackend::Session> session_;
  std::shared_ptr<LibusbBackend::Cancel> cancel_;
  PipeEnd end_;
  std::vector<std::uint8_t> scratch_;
  InTransferRemainder remainder_;
};

}  // namespace

LibusbBackend::LibusbBackend() : cancel_(std::make_shared<Cancel>()) {}
LibusbBackend::~LibusbBackend() = default;

void LibusbBackend::cancelTransfer() {
  std::lock_guard<std::mutex> lock(cancel_->mutex);
  cancel_->cancelled = true;
  // The pipe's thread, handling the context's events, sees the transfer end as cancelled.
  if (cancel_->inFlight) libusb_cancel_transfer(cancel_->inFlight);
}

std::vector<std::u16string> LibusbBackend::interfacePaths() {
  // Without a udev daemon libusb never hears of a device plugged in after its context was
  // made, so every enumeration starts from a fresh context.
  Context context;
  DeviceList devices(context.handle);
  std::vector<PrinterInterface> interfaces;
  for (const DeviceList::Entry& entry : devices.entries) interfaces.push_back(entry.interface);
  sortByPosition(interfaces);
  std::vector<std::u16string> paths;
  for (const PrinterInterface& interface : interfaces) paths.push_back(interface.devicePath());
  return paths;
}

std::shared_ptr<LibusbBackend::Session> LibusbBackend::openSession(const std::u16string& devicePath) {
  lastOpenError_ = LIBUSB_ERROR_NOT_FOUND;
  auto session = std::make_shared<Session>();
  session->context = std::make_shared<Context>();
  DeviceList devices(session->context->handle);
  auto entry = std::find_if(devices.entries.begin(), devices.entries.end(),
                            [&](const DeviceList::Entry& e) { return e.interface.devicePath() == devicePath; });
  if (entry == devices.entries.end()) return nullptr;

  int status = libusb_open(entry->device, &session->handle);
  if (status != LIBUSB_SUCCESS) {
    session->handle = nullptr;
    lastOpenError_ = status;
    return nullptr;
  }
  session->interfaceNumber = entry->interface.interfaceNumber;

  libusb_config_descriptor* config = nullptr;
  status = libusb_get_active_config_descriptor(entry->device, &config);
  if (status != LIBUSB_SUCCESS) {
    lastOpenError_ = status;
    return nullptr;
  }
  int altSettings = 0;
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    if (interface.altsetting[0].bInterfaceNumber != session->interfaceNumber) continue;
    session->endpoints = choosePrinterEndpoints(interface);
    altSettings = interface.num_altsetting;
  }
  libusb_free_config_descriptor(config);
  if (session->endpoints.altSetting < 0) {
    lastOpenError_ = LIBUSB_ERROR_NOT_SUPPORTED;  // no setting with both bulk endpoints
    return nullptr;
  }

  // The kernel's printer driver holds the interface while it is bound (and starts a read
  // as soon as its device node is opened); it gets the interface back when the session ends.
  if (libusb_kernel_driver_active(session->handle, session->interfaceNumber) == 1) {
    status = libusb_detach_kernel_driver(session->handle, session->interfaceNumber);
    if (status != LIBUSB_SUCCESS && status != LIBUSB_ERROR_NOT_FOUND) {
      lastOpenError_ = status;
      return nullptr;
    }
    session->driverDetached = status == LIBUSB_SUCCESS;
  }
  status = libusb_claim_interface(session->handle, session->interfaceNumber);
  if (status != LIBUSB_SUCCESS) {
    lastOpenError_ = status;
    return nullptr;
  }
  session->claimed = true;
  // Some printers stall a SET_INTERFACE they do not need; it is sent only where there is
  // a choice.
  if (altSettings > 1) {
    status = libusb_set_interface_alt_setting(session->handle, session->interfaceNumber, session->endpoints.altSetting);
    if (status != LIBUSB_SUCCESS) {
      lastOpenError_ = status;
      return nullptr;
    }
  }
  lastOpenError_ = LIBUSB_SUCCESS;
  return session;
}

std::unique_ptr<UsbPipe> LibusbBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  if (cancel_->isSet()) {
    lastOpenError_ = LIBUSB_ERROR_INTERRUPTED;
    return nullptr;
  }
  std::shared_ptr<Session> session = session_.lock();
  if (!session || sessionPath_ != devicePath) {
    session = openSession(devicePath);
    if (!session) return nullptr;
    session_ = session;
    sessionPath_ = devicePath;
  }
  return std::make_unique<LibusbPipe>(session, cancel_, end);
}

std::string noPermissionHint(bool ruleInstalled) {
  if (!ruleInstalled) {
    return "no permission to use the printer's USB device; install the udev rule "
           "60-kestrava.rules (see the README, \"USB access without root\") and plug the "
           "printer in again";
  }
  return "no permission to use the printer's USB device: the udev rule 60-kestrava.rules is installed, but it "
         "gives access only to the user of a desktop session at this machine, not to one logged in over ssh or "
         "in a container; run it in that session, or as root";
}

bool udevRuleInstalled() {
  for (std::string_view folder : kUdevRuleFolders) {
    if (::access((std::string(folder) + "/" + std::string(kUdevRuleName)).c_str(), F_OK) == 0) return true;
  }
  return false;
}

std::string LibusbBackend::notFoundHint() const {
  // In a container or under WSL the host's USB devices are often not there at all.
  if (::access("/dev/bus/usb", F_OK) != 0) {
    return "no USB device is visible here (/dev/bus/usb does not exist, as in a container or under WSL): run "
           "Kestrava on the machine the printer is attached to, or reach the printer over TCP";
  }
  return {};
}

std::string LibusbBackend::openFailureHint() const {
  switch (lastOpenError_) {
    case LIBUSB_ERROR_ACCESS: return noPermissionHint(udevRuleInstalled());
    case LIBUSB_ERROR_BUSY:
      return "the printer's USB interface is claimed by another program; end that program "
             "and try again";
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return "the printer went away while it was being opened; check its cable";
    default: return {};
  }
}

}  // namespace kestrava
