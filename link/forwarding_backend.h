// A back end that hands everything to another one. The wrappers that watch or restrict a
// back end (counting answers, naming a slow read, one interface out of several) derive
// from it and override only what they change, so nothing of the inner back end, its clock
// or its advice after a failed open, is lost on the way.
#pragma once

#include "link/usb_backend.h"

namespace kestrava {

class ForwardingBackend : public UsbBackend {
 public:
  // `inner` must outlive this back end and every pipe it opened.
  explicit ForwardingBackend(UsbBackend& inner) : inner_(inner) {}

  std::vector<std::u16string> interfacePaths() override { return inner_.interfacePaths(); }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override {
    return inner_.openPipe(devicePath, end);
  }
  std::string openFailureHint() const override { return inner_.openFailureHint(); }
  std::string peerName() const override { return inner_.peerName(); }
  std::string notFoundHint() const override { return inner_.notFoundHint(); }
  std::uint32_t lastSystemError() const override { return inner_.lastSystemError(); }
  std::chrono::steady_clock::time_point now() const override { return inner_.now(); }
  void cancelTransfer() override { inner_.cancelTransfer(); }

 protected:
  UsbBackend& inner_;
};

}  // namespace kestrava
