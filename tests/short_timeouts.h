// Real time-outs, scaled down for tests that talk to a peer over a real socket, where the
// printer's own clock cannot stand in for the wait.
#pragma once

#include <memory>

#include "link/forwarding_backend.h"

namespace kestrava::testing {

// Every read time-out a fiftieth of what the run asks for: a mute peer's sixteen time-outs
// of 5 s and their late-reply waits take two seconds instead of a minute and a half.
class FiftiethTimeOuts : public ForwardingBackend {
 public:
  using ForwardingBackend::ForwardingBackend;
  static constexpr std::uint32_t kScale = 50;

  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override {
    std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
    return pipe ? std::make_unique<Pipe>(std::move(pipe)) : nullptr;
  }

 private:
  class Pipe : public UsbPipe {
   public:
    explicit Pipe(std::unique_ptr<UsbPipe> inner) : inner_(std::move(inner)) {}
    long long write(const std::uint8_t* data, std::size_t count) override { return inner_->write(data, count); }
    bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
      return inner_->read(buffer, wanted, transferred, timeoutMs / kScale > 0 ? timeoutMs / kScale : 1);
    }

   private:
    std::unique_ptr<UsbPipe> inner_;
  };
};

}  // namespace kestrava::testing
