#include "app/device_selection.h"

#include <exception>

#include "base/text_codec.h"
#include "link/replay_backend.h"
#include "link/tcp_backend.h"
#ifdef KESTRAVA_HAVE_LIBUSB
#include "link/libusb_backend.h"
#endif
#include "virtual/virtual_backend.h"
#ifdef _WIN32
#include "link/win32_backend.h"
#endif
#include "virtual/scenario.h"

namespace kestrava {

namespace {

// A platform without a USB back end has no printer interfaces.
class NoUsbBackend : public UsbBackend {
 public:
  std::vector<std::u16string> interfacePaths() override { return {}; }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string&, PipeEnd) override { return nullptr; }
};

// Only the interface with exactly this device path is visible.
class SinglePathBackend : public UsbBackend {
 public:
  SinglePathBackend(std::unique_ptr<UsbBackend> inner, std::u16string path)
      : inner_(std::move(inner)), path_(std::move(path)) {}
  std::vector<std::u16string> interfacePaths() override {
    for (const std::u16string& path : inner_->interfacePaths()) {
      if (path == path_) return {path};
    }
    return {};
  }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& path, PipeEnd end) override {
    return inner_->openPipe(path, end);
  }
  std::string openFailureHint() const override { return inner_->openFailureHint(); }
  std::chrono::steady_clock::time_point now() const override { return inner_->now(); }

 private:
  std::unique_ptr<UsbBackend> inner_;
  std::u16string path_;
};

}  // namespace

std::unique_ptr<UsbBackend> makePlatformBackend() {
#if defined(_WIN32)
  return std::make_unique<Win32Backend>();
#elif defined(KESTRAVA_HAVE_LIBUSB)
  return std::make_unique<LibusbBackend>();
#else
  return std::make_unique<NoUsbBackend>();
#endif
}

BackendSource makeBackendSource(const std::string& device, std::string& error) {
  if (device == "usb") return makePlatformBackend;
  if (device.rfind("usb:", 0) == 0) {
    if (device.size() == 4) {
      error = "usb: needs a device path (kestrava-cli --list shows them)";
      return {};
    }
    return [path = fromUtf8(device.substr(4))]() -> std::unique_ptr<UsbBackend> {
      return std::make_unique<SinglePathBackend>(makePlatformBackend(), path);
    };
  }
  if (device.rfind("tcp://", 0) == 0) {
    std::string host, path;
    std::uint16_t port = 0;
    if (!TcpBackend::parseAddress(device, host, port, path, error)) return {};
    return [host, port, path = fromUtf8(path)]() -> std::unique_ptr<UsbBackend> {
      return std::make_unique<TcpBackend>(host, port, path);
    };
  }
  auto virtualPrinter = [](virtualprinter::Scenario scenario) -> BackendSource {
    return [scenario = std::move(scenario)]() -> std::unique_ptr<UsbBackend> {
      return std::make_unique<VirtualBackend>(scenario);
    };
  };
  if (device == "virtual") return virtualPrinter(virtualprinter::healthyMonoPrinter());
  if (device.rfind("virtual:", 0) == 0) {
    try {
      return virtualPrinter(virtualprinter::loadScenario(device.substr(8)));
    } catch (const std::exception& failure) {
      error = failure.what();
      return {};
    }
  }
  if (device.rfind("replay:", 0) == 0) {
    try {
      return [trace = loadTraceFile(device.substr(7))]() -> std::unique_ptr<UsbBackend> {
        return std::make_unique<ReplayBackend>(trace);
      };
    } catch (const std::exception& failure) {
      error = failure.what();
      return {};
    }
  }
  error = "unknown device \"" + device + "\" (expected usb, usb:PATH, tcp://HOST:PORT/PATH, virtual, virtual:FILE or replay:FILE)";
  return {};
}

std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error) {
  BackendSource source = makeBackendSource(device, error);
  return source ? source() : nullptr;
}

}  // namespace kestrava
