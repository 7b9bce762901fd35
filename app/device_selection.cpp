#include "app/device_selection.h"

#include <array>
#include <exception>
#include <vector>

#include "app/one_interface.h"
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

namespace {

BackendSource platformUsb(const std::string&, const std::string&, std::string&) { return makePlatformBackend; }

BackendSource usbPath(const std::string&, const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "usb: needs a device path (kestrava-cli --list shows them)";
    return {};
  }
  return [path = fromUtf8(path)]() -> std::unique_ptr<UsbBackend> {
    return std::make_unique<OwnedOneInterface>(makePlatformBackend(), path);
  };
}

BackendSource tcpStream(const std::string& device, const std::string&, std::string& error) {
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

BackendSource virtualPrinter(virtualprinter::Scenario scenario) {
  return [scenario = std::move(scenario)]() -> std::unique_ptr<UsbBackend> {
    return std::make_unique<VirtualBackend>(scenario);
  };
}

BackendSource builtInPrinter(const std::string&, const std::string&, std::string&) {
  return virtualPrinter(virtualprinter::healthyMonoPrinter());
}

BackendSource scenarioPrinters(const std::string&, const std::string& files, std::string& error) {
  try {
    std::vector<std::string> fileNames;
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

BackendSource replayedTrace(const std::string&, const std::string& file, std::string& error) {
  try {
    return [trace = loadTraceFile(file)]() -> std::unique_ptr<UsbBackend> {
      return std::make_unique<ReplayBackend>(trace);
    };
  } catch (const std::exception& failure) {
    error = failure.what();
    return {};
  }
}

constexpr std::array kForms{
    DeviceForm{"usb", "the first USB printer interface whose device path contains vid_232b", "usb",
               "default: the first printer of vendor 0x232B", "usb", true, DeviceCompletion::nothing, platformUsb},
    DeviceForm{"usb:PATH", "that USB device path exactly, as --list shows it", "usb:vid_232b&pid_0ef5#1-2:1.0", "",
               "usb:", false, DeviceCompletion::interfacePaths, usbPath},
    DeviceForm{"tcp://HOST:PORT/PATH", "a raw byte stream to HOST:PORT; PATH is the printer's device path with its ids",
               "tcp://127.0.0.1:9100/vid_232b&pid_0ef5", "", "tcp://", false, DeviceCompletion::nothing, tcpStream},
    DeviceForm{"virtual", "the built-in virtual printer, a healthy P3301DN (mono with drum)", "virtual",
               "a built-in printer", "virtual", true, DeviceCompletion::nothing, builtInPrinter},
    DeviceForm{"virtual:FILE.json[,FILE.json...]",
               "virtual printers driven by scenario files, several attached side by side",
               "virtual:virtual/scenarios/mono.json,virtual/scenarios/colour.json",
               "virtual printers from scenario files", "virtual:", false, DeviceCompletion::files, scenarioPrinters},
    DeviceForm{"replay:TRACE", "the printer's side of a trace recorded with --trace FILE",
               "replay:tests/traces/healthy-mono.trace", "a recorded trace", "replay:", false, DeviceCompletion::files,
               replayedTrace},
};

}  // namespace

std::span<const DeviceForm> deviceForms() { return kForms; }

std::string deviceFormList() {
  std::string list;
  for (const DeviceForm& form : kForms) {
    list += (list.empty() ? std::string(form.form) + " (default)" : ", " + std::string(form.form));
  }
  return list;
}

std::string deviceOptionHelp() {
  std::string help = "where the printer is: ";
  for (const DeviceForm& form : kForms) {
    if (&form != &kForms.front()) help += ", ";
    help += form.form;
    if (!form.helpNote.empty()) help += " (" + std::string(form.helpNote) + ")";
  }
  return help;
}

BackendSource makeBackendSource(const std::string& device, std::string& error) {
  for (const DeviceForm& form : kForms) {
    if (form.whole ? device == form.prefix : device.starts_with(form.prefix)) {
      return form.make(device, device.substr(form.prefix.size()), error);
    }
  }
  error = "unknown device \"" + device + "\" (expected ";
  for (const DeviceForm& form : kForms) {
    if (&form != &kForms.front()) error += &form == &kForms.back() ? " or " : ", ";
    error += form.form;
  }
  error += ")";
  return {};
}

std::unique_ptr<UsbBackend> makeBackend(const std::string& device, std::string& error) {
  BackendSource source = makeBackendSource(device, error);
  return source ? source() : nullptr;
}

}  // namespace kestrava
