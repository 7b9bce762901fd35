#include "app/device_selection.h"

#include <exception>
#include <vector>

#include "base/hex_text.h"
#include "base/text_codec.h"
#include "base/visible_text.h"
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
  std::string peerName() const override { return inner_->peerName(); }
  std::string notFoundHint() const override { return inner_->notFoundHint(); }
  std::uint32_t lastSystemError() const override { return inner_->lastSystemError(); }
  std::chrono::steady_clock::time_point now() const override { return inner_->now(); }
  void cancelTransfer() override { inner_->cancelTransfer(); }

 private:
  std::unique_ptr<UsbBackend> inner_;
  std::u16string path_;
};

// Several virtual printers side by side, like a bench with several printers attached: the
// paths of all, each opened by the printer that offers it.
class SeveralBackends : public UsbBackend {
 public:
  explicit SeveralBackends(std::vector<std::unique_ptr<UsbBackend>> backends) : backends_(std::move(backends)) {}
  std::vector<std::u16string> interfacePaths() override {
    std::vector<std::u16string> paths;
    for (const auto& backend : backends_) {
      for (std::u16string& path : backend->interfacePaths()) paths.push_back(std::move(path));
    }
    return paths;
  }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& path, PipeEnd end) override {
    for (const auto& backend : backends_) {
      if (std::unique_ptr<UsbPipe> pipe = backend->openPipe(path, end)) return pipe;
    }
    return nullptr;
  }
  // Each printer keeps a clock of its own, and a bench reads them one after another: the
  // sum of their clocks moves exactly as the clock of the printer in use, so what a run
  // measures is measured on its own printer's clock, whatever its place in the list.
  std::chrono::steady_clock::time_point now() const override {
    std::chrono::steady_clock::duration sum{0};
    for (const auto& backend : backends_) sum += backend->now().time_since_epoch();
    return std::chrono::steady_clock::time_point(sum);
  }
  void cancelTransfer() override {
    for (const auto& backend : backends_) backend->cancelTransfer();
  }

 private:
  std::vector<std::unique_ptr<UsbBackend>> backends_;
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
    // The path carries the printer's ids. Typed unquoted, a shell ends the command at the
    // "&" and the product id is lost: the run would name no model and look like success.
    const std::size_t pid = path.find("pid_");
    bool hasProductId = pid != std::string::npos && pid + 8 <= path.size();
    for (std::size_t i = pid + 4; hasProductId && i < pid + 8; ++i) hasProductId = hexDigitValue(path[i]) >= 0;
    if (!hasProductId) {
      error = "the path of " + visibleExcerpt(device) +
              " has no product id: give the printer's ids, as in 'tcp://127.0.0.1:9100/vid_232b&pid_0ef5' "
              "(quoted: a shell ends the command at the &)";
      return {};
    }
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
      std::vector<std::string> fileNames;
      std::string files = device.substr(8);
      for (std::size_t start = 0; start <= files.size();) {
        std::size_t comma = files.find(',', start);
        if (comma == std::string::npos) comma = files.size();
        fileNames.push_back(files.substr(start, comma - start));
        start = comma + 1;
      }
      std::vector<virtualprinter::Scenario> scenarios = virtualprinter::loadScenarios(fileNames);
      if (scenarios.size() == 1) return virtualPrinter(std::move(scenarios.front()));
      return [scenarios = std::move(scenarios)]() -> std::unique_ptr<UsbBackend> {
        std::vector<std::unique_ptr<UsbBackend>> printers;
        for (const virtualprinter::Scenario& scenario : scenarios)
          printers.push_back(std::make_unique<VirtualBackend>(scenario));
        return std::make_unique<SeveralBackends>(std::move(printers));
      };
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
  error = "unknown device \"" + device +
          "\" (expected usb, usb:PATH, tcp://HOST:PORT/PATH, virtual, virtual:FILE or replay:FILE)";
  return {};
}

std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error) {
  BackendSource source = makeBackendSource(device, error);
  return source ? source() : nullptr;
}

}  // namespace kestrava
