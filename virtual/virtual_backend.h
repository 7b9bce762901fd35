// The virtual printer as a back end of the link, in process.
#pragma once

#include <memory>

#include "link/usb_backend.h"
#include "virtual/virtual_printer.h"

namespace kestrava {

class VirtualBackend : public UsbBackend {
 public:
  explicit VirtualBackend(virtualprinter::Scenario scenario);

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;
  // The printer's clock: it moves by what the host's reads would have waited.
  std::chrono::steady_clock::time_point now() const override;
  // Ends a slow printer's wait in flight at once; every later open, write and read fails.
  void cancelTransfer() override;

  virtualprinter::VirtualPrinter& printer() { return *printer_; }

  struct Cancel;

 private:
  std::shared_ptr<virtualprinter::VirtualPrinter> printer_;
  std::shared_ptr<Cancel> cancel_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace kestrava
