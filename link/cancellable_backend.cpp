#include "link/cancellable_backend.h"

namespace kestrava {

namespace {

class CancellablePipe : public UsbPipe {
 public:
  CancellablePipe(std::unique_ptr<UsbPipe> inner, std::shared_ptr<std::atomic<bool>> cancelled)
      : inner_(std::move(inner)), cancelled_(std::move(cancelled)) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    if (cancelled_->load()) return -1;
    return inner_->write(data, count);
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    if (cancelled_->load()) return false;
    return inner_->read(buffer, wanted, transferred, timeoutMs);
  }

 private:
  std::unique_ptr<UsbPipe> inner_;
  std::shared_ptr<std::atomic<bool>> cancelled_;
};

}  // namespace

CancellableBackend::CancellableBackend(UsbBackend& inner) : ForwardingBackend(inner) {}

void CancellableBackend::cancel() {
  // First the flag, then the inner back end: a transfer that started before the flag is
  // cut short there, and one that starts after fails here or there.
  cancelled_->store(true);
  inner_.cancelTransfer();
}

std::vector<std::u16string> CancellableBackend::interfacePaths() {
  if (cancelled()) return {};
  return inner_.interfacePaths();
}

std::unique_ptr<UsbPipe> CancellableBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  if (cancelled()) return nullptr;
  std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
  if (!pipe) return nullptr;
  return std::make_unique<CancellablePipe>(std::move(pipe), cancelled_);
}

}  // namespace kestrava
