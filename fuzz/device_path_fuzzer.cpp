// The device path: the vendor filter and the id parse, on any text the system lists.
#include <cstdint>
#include <cstring>
#include <string>

#include "link/usb_printer_link.h"

namespace {

class OnePath : public kestrava::UsbBackend {
 public:
  explicit OnePath(std::u16string path) : path_(std::move(path)) {}
  std::vector<std::u16string> interfacePaths() override { return {path_}; }
  std::unique_ptr<kestrava::UsbPipe> openPipe(const std::u16string&, kestrava::PipeEnd) override { return nullptr; }

 private:
  std::u16string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string path(size / 2, u'\0');
  std::memcpy(path.data(), data, path.size() * 2);
  std::size_t match = path.find(u"vid_232b");
  if (match != std::u16string::npos && (kestrava::parseUsbId(path, match) >> 16) != 0x232B) __builtin_trap();
  OnePath backend(path);
  kestrava::UsbPrinterLink link(backend);
  kestrava::LinkStatus status = link.open();
  if (status !=
          (match == std::u16string::npos ? kestrava::LinkStatus::noPrinter : kestrava::LinkStatus::pipeOpenFailed) ||
      link.connected() || link.usbId() != 0)
    __builtin_trap();
  return 0;
}
