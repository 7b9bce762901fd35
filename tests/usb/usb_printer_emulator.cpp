#include "tests/usb/usb_printer_emulator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <usbredirparser.h>

namespace kestrava::usbtest {

namespace {

UsbPrinterEmulator& self(void* priv) { return *static_cast<UsbPrinterEmulator*>(priv); }

// Standard and printer-class requests, by bmRequestType and bRequest.
constexpr std::uint8_t kToDevice = 0x00, kToEndpoint = 0x02, kFromDevice = 0x80, kFromInterface = 0x81,
                       kFromEndpoint = 0x82, kClassFromInterface = 0xA1, kClassToInterface = 0x21;
constexpr std::uint8_t kGetStatus = 0, kClearFeature = 1, kSetFeature = 3, kGetDescriptor = 6;
constexpr std::uint8_t kGetDeviceId = 0, kGetPortStatus = 1, kSoftReset = 2;
constexpr std::uint16_t kEndpointHalt = 0;

// A printer that is selected, has paper and no error, in the bits of GET_PORT_STATUS.
constexpr char kPortStatusReady = 0x18;

std::string deviceQualifier() { return {10, 6, 0x00, 0x02, 0, 0, 0, static_cast<char>(kControlMaxPacket), 1, 0}; }

PrinterIdentity identityOf(const virtualprinter::Scenario& scenario) {
  PrinterIdentity identity;
  identity.vendorId = scenario.vendorId;
  identity.productId = scenario.productId;
  // Nothing on the host reads the name; the product id is what tells the models apart.
  char name[32];
  std::snprintf(name, sizeof name, "Laser printer %04X", scenario.productId);
  identity.product = name;
  identity.serialNumber = scenario.serialNumber.value_or("");
  return identity;
}

void logParser(void*, int level, const char* message) {
  if (level <= usbredirparser_warning) std::fprintf(stderr, "usbredir: %s\n", message);
}

}  // namespace

UsbPrinterEmulator::UsbPrinterEmulator(virtualprinter::Scenario scenario, EmulatorOptions options)
    : printer_(std::move(scenario)), options_(options), identity_(identityOf(printer_.scenario())) {
  // The printer is plugged in and powered from the start; the host's first open finds
  // whatever stale bytes the scenario left on its read pipe.
  printer_.connect();
}

UsbPrinterEmulator::~UsbPrinterEmulator() {
  if (parser_) usbredirparser_destroy(parser_);
}

void UsbPrinterEmulator::serve(int socket) {
  socket_ = socket;
  ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);

  parser_ = usbredirparser_create();
  parser_->priv = this;
  parser_->log_func = logParser;
  parser_->read_func = [](void* p, std::uint8_t* d, int n) { return self(p).readSocket(d, n); };
  parser_->write_func = [](void* p, std::uint8_t* d, int n) { return self(p).writeSocket(d, n); };
  parser_->hello_func = [](void* p, usb_redir_hello_header*) { self(p).onHello(); };
  parser_->reset_func = [](void* p) { self(p).onReset(); };
  parser_->set_configuration_func = [](void* p, std::uint64_t id, usb_redir_set_configuration_header* h) {
    self(p).onSetConfiguration(id, h->configuration);
  };
  parser_->get_configuration_func = [](void* p, std::uint64_t id) { self(p).onGetConfiguration(id); };
  parser_->set_alt_setting_func = [](void* p, std::uint64_t id, usb_redir_set_alt_setting_header* h) {
    self(p).onSetAltSetting(id, h->interface, h->alt);
  };
  parser_->get_alt_setting_func = [](void* p, std::uint64_t id, usb_redir_get_alt_setting_header* h) {
    self(p).onGetAltSetting(id, h->interface);
  };
  parser_->cancel_data_packet_func = [](void* p, std::uint64_t id) { self(p).onCancel(id); };
  parser_->control_packet_func = [](void* p, std::uint64_t id, usb_redir_control_packet_header* h, std::uint8_t* data,
                                    int length) {
    self(p).onControl(id, *h, data, length);
    if (data) usbredirparser_free_packet_data(self(p).parser_, data);
  };
  parser_->bulk_packet_func = [](void* p, std::uint64_t id, usb_redir_bulk_packet_header* h, std::uint8_t* data,
                                 int length) {
    self(p).onBulk(id, *h, data, length);
    if (data) usbredirparser_free_packet_data(self(p).parser_, data);
  };

  // qemu puts a redirected device on an xHCI port only when it may use 64-bit packet ids
  // and bulk lengths beyond 64 KiB, and needs the endpoints' packet sizes.
  std::uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
  usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
  usbredirparser_init(parser_, "kestrava-usb-printer", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
  flush();

  while (!closed_) {
    pollfd waiter{socket_, POLLIN, 0};
    if (::poll(&waiter, 1, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    int status = usbredirparser_do_read(parser_);
    if (status == usbredirparser_read_io_error) closed_ = true;
    flush();
  }
}

int UsbPrinterEmulator::readSocket(std::uint8_t* data, int count) {
  for (;;) {
    ssize_t n = ::recv(socket_, data, static_cast<std::size_t>(count), 0);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    closed_ = true;  // qemu went away: the guest powered off
    return -1;
  }
}

int UsbPrinterEmulator::writeSocket(const std::uint8_t* data, int count) {
  int sent = 0;
  while (sent < count) {
    ssize_t n = ::send(socket_, data + sent, static_cast<std::size_t>(count - sent), MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd waiter{socket_, POLLOUT, 0};
      ::poll(&waiter, 1, 1000);
      continue;
    }
    closed_ = true;
    return -1;
  }
  return sent;
}

void UsbPrinterEmulator::flush() {
  while (!closed_ && usbredirparser_has_data_to_write(parser_)) {
    if (usbredirparser_do_write(parser_) != 0) closed_ = true;
  }
}

void UsbPrinterEmulator::announceInterface() {
  usb_redir_interface_info_header interfaces{};
  interfaces.interface_count = 1;
  interfaces.interface[0] = kInterfaceNumber;
  interfaces.interface_class[0] = 7;
  interfaces.interface_subclass[0] = 1;
  interfaces.interface_protocol[0] = 2;
  usbredirparser_send_interface_info(parser_, &interfaces);

  // Endpoint slots: OUT endpoints 0..15, IN endpoints 16..31.
  usb_redir_ep_info_header endpoints{};
  std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
  auto slot = [](std::uint8_t address) { return ((address & 0x80) >> 3) | (address & 0x0F); };
  for (std::uint8_t control : {std::uint8_t{0x00}, std::uint8_t{0x80}}) {
    endpoints.type[slot(control)] = usb_redir_type_control;
    endpoints.max_packet_size[slot(control)] = kControlMaxPacket;
  }
  for (std::uint8_t bulk : {kBulkOut, kBulkIn}) {
    endpoints.type[slot(bulk)] = usb_redir_type_bulk;
    endpoints.max_packet_size[slot(bulk)] = kBulkMaxPacket;
    endpoints.interface[slot(bulk)] = kInterfaceNumber;
  }
  usbredirparser_send_ep_info(parser_, &endpoints);
}

void UsbPrinterEmulator::onHello() {
  // qemu wants to know the interfaces before it accepts the device.
  announceInterface();
  usb_redir_device_connect_header connect{};
  connect.speed = usb_redir_speed_high;
  connect.vendor_id = identity_.vendorId;
  connect.product_id = identity_.productId;
  connect.device_version_bcd = 0x0100;
  usbredirparser_send_device_connect(parser_, &connect);
}

void UsbPrinterEmulator::onSetConfiguration(std::uint64_t id, std::uint8_t configuration) {
  usb_redir_configuration_status_header status{};
  status.configuration = configuration;
  if (configuration == 0 || configuration == kConfigurationValue) {
    configuration_ = configuration;
    inHalted_ = false;
    announceInterface();
    status.status = usb_redir_success;
  } else {
    status.status = usb_redir_stall;
  }
  usbredirparser_send_configuration_status(parser_, id, &status);
}

void UsbPrinterEmulator::onGetConfiguration(std::uint64_t id) {
  usb_redir_configuration_status_header status{};
  status.status = usb_redir_success;
  status.configuration = configuration_;
  usbredirparser_send_configuration_status(parser_, id, &status);
}

void UsbPrinterEmulator::onSetAltSetting(std::uint64_t id, std::uint8_t interface, std::uint8_t alt) {
  usb_redir_alt_setting_status_header status{};
  status.interface = interface;
  status.alt = alt;
  status.status = (interface == kInterfaceNumber && alt == 0) ? usb_redir_success : usb_redir_stall;
  // Selecting a setting resets its endpoints, halt included.
  if (status.status == usb_redir_success) {
    inHalted_ = false;
    announceInterface();
  }
  usbredirparser_send_alt_setting_status(parser_, id, &status);
}

void UsbPrinterEmulator::onGetAltSetting(std::uint64_t id, std::uint8_t interface) {
  usb_redir_alt_setting_status_header status{};
  status.interface = interface;
  status.status = interface == kInterfaceNumber ? usb_redir_success : usb_redir_inval;
  usbredirparser_send_alt_setting_status(parser_, id, &status);
}

void UsbPrinterEmulator::onReset() {
  // A bus reset returns the device to its default state; the printer's own session goes on.
  configuration_ = 0;
  inHalted_ = false;
}

void UsbPrinterEmulator::onCancel(std::uint64_t id) {
  for (auto held = heldIns_.begin(); held != heldIns_.end(); ++held) {
    if (held->id != id) continue;
    heldIns_.erase(held);
    ++counts_.cancelled;
    answerBulk(id, kBulkIn, usb_redir_cancelled, {});
    return;
  }
}

void UsbPrinterEmulator::answerControl(std::uint64_t id, usb_redir_control_packet_header header, std::uint8_t status,
                                       const std::string& data) {
  std::string sent = data.substr(0, header.length);
  header.status = status;
  bool in = (header.requesttype & 0x80) != 0;
  if (in) header.length = static_cast<std::uint16_t>(sent.size());
  if (status != usb_redir_success) header.length = 0;
  auto* bytes = reinterpret_cast<std::uint8_t*>(sent.data());
  usbredirparser_send_control_packet(parser_, id, &header, in && header.length ? bytes : nullptr,
                                     in ? header.length : 0);
}

void UsbPrinterEmulator::onControl(std::uint64_t id, const usb_redir_control_packet_header& header, const std::uint8_t*,
                                   int) {
  std::uint8_t type = header.requesttype;
  std::uint8_t request = header.request;
  auto ok = [&](const std::string& data = {}) { answerControl(id, header, usb_redir_success, data); };

  if (type == kFromDevice && request == kGetDescriptor) {
    std::uint8_t index = header.value & 0xFF;
    switch (header.value >> 8) {
      case 1: return ok(deviceDescriptor(identity_));
      case 2: return ok(configurationDescriptor());
      case 3:
        if (auto text = stringDescriptor(identity_, index)) return ok(*text);
        break;
      case 6: return ok(deviceQualifier());
      default: break;
    }
  } else if (type == kFromDevice && request == kGetStatus) {
    return ok({1, 0});  // self-powered
  } else if (type == kFromInterface && request == kGetStatus) {
    return ok({0, 0});
  } else if (type == kFromEndpoint && request == kGetStatus) {
    return ok({static_cast<char>(header.index == kBulkIn && inHalted_ ? 1 : 0), 0});
  } else if (type == kToEndpoint && (request == kClearFeature || request == kSetFeature) &&
             header.value == kEndpointHalt) {
    if (header.index == kBulkIn) {
      if (request == kClearFeature && inHalted_) ++counts_.haltsCleared;
      inHalted_ = request == kSetFeature;
    }
    return ok();
  } else if (type == kToDevice && (request == kClearFeature || request == kSetFeature)) {
    return ok();  // remote wake-up: a printer has nothing to wake the host for
  } else if (type == kClassFromInterface && request == kGetDeviceId) {
    ++counts_.deviceIdRequests;
    return ok(deviceIdAnswer(identity_));
  } else if (type == kClassFromInterface && request == kGetPortStatus) {
    return ok({kPortStatusReady});
  } else if (type == kClassToInterface && request == kSoftReset) {
    return ok();
  }
  ++counts_.unansweredControl;
  std::fprintf(stderr, "control request %02x %02x value %04x index %04x stalled\n", type, request, header.value,
               header.index);
  answerControl(id, header, usb_redir_stall, {});
}

void UsbPrinterEmulator::answerBulk(std::uint64_t id, std::uint8_t endpoint, std::uint8_t status,
                                    const std::string& data, std::size_t outCount) {
  usb_redir_bulk_packet_header header{};
  header.endpoint = endpoint;
  header.status = status;
  std::size_t length = (endpoint & 0x80) ? data.size() : outCount;
  header.length = static_cast<std::uint16_t>(length & 0xFFFF);
  header.length_high = static_cast<std::uint16_t>(length >> 16);
  std::string bytes = data;
  usbredirparser_send_bulk_packet(parser_, id, &header,
                                  bytes.empty() ? nullptr : reinterpret_cast<std::uint8_t*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
}

void UsbPrinterEmulator::onBulk(std::uint64_t id, const usb_redir_bulk_packet_header& header, const std::uint8_t* data,
                                int length) {
  if (counts_.unplugged) return;  // the device is gone; qemu fails what is in flight
  if (header.endpoint == kBulkOut) return bulkOut(id, data, length);
  if (header.endpoint != kBulkIn) return answerBulk(id, header.endpoint, usb_redir_inval, {});
  std::size_t wanted = header.length | static_cast<std::size_t>(header.length_high) << 16;
  heldIns_.push_back({id, wanted});
  serveHeldIns();
}

void UsbPrinterEmulator::bulkOut(std::uint64_t id, const std::uint8_t* data, int length) {
  std::size_t before = printer_.requestCount();
  bool taken = printer_.receive(data, static_cast<std::size_t>(length));
  answerBulk(id, kBulkOut, taken ? usb_redir_success : usb_redir_ioerror, {},
             taken ? static_cast<std::size_t>(length) : 0);
  if (printer_.lost()) return unplug();
  std::string nothing;
  if (options_.stallHeldReplies && printer_.requestCount() > before &&
      printer_.take(0, nothing) == virtualprinter::ReadOutcome::nothing) {
    inHalted_ = true;
  }
  serveHeldIns();
}

void UsbPrinterEmulator::serveHeldIns() {
  while (!heldIns_.empty()) {
    HeldIn held = heldIns_.front();
    if (inHalted_) {
      heldIns_.pop_front();
      ++counts_.stalls;
      answerBulk(held.id, kBulkIn, usb_redir_stall, {});
      continue;
    }
    std::string bytes;
    virtualprinter::ReadOutcome outcome = printer_.take(held.wanted, bytes);
    if (outcome == virtualprinter::ReadOutcome::lost) return unplug();
    if (outcome == virtualprinter::ReadOutcome::nothing) return;  // held, as a NAK
    heldIns_.pop_front();
    answerBulk(held.id, kBulkIn, usb_redir_success, bytes);
  }
}

void UsbPrinterEmulator::unplug() {
  if (counts_.unplugged) return;
  counts_.unplugged = true;
  heldIns_.clear();
  usbredirparser_send_device_disconnect(parser_);
}

}  // namespace kestrava::usbtest
