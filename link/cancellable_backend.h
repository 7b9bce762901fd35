// A back end whose pipes can be stopped from another thread. Once `cancel` has run, every
// write and read fails at once, and the inner back end cancels the transfer in flight
// (`UsbBackend::cancelTransfer`), so a run that nobody waits for any more ends at once
// instead of asking the printer for everything else.
#pragma once

#include <atomic>
#include <memory>

#include "link/forwarding_backend.h"

namespace kestrava {

class CancellableBackend : public ForwardingBackend {
 public:
  // `inner` must outlive this back end and every pipe it opened.
  explicit CancellableBackend(UsbBackend& inner);

  // Safe from any thread; there is no way back.
  void cancel();
  void cancelTransfer() override { cancel(); }
  bool cancelled() const { return cancelled_->load(); }

  std::vector<std::u16string> interfacePaths() override;
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

 private:
  std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace kestrava
