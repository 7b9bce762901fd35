// Counts the bytes a printer sends once counting is switched on: the run switches it on
// after the drain, so bytes left over from an earlier exchange do not count as an answer.
// It sits between the run's device and the back end and passes everything through.
#pragma once

#include <cstddef>
#include <memory>

#include "link/forwarding_backend.h"

namespace kestrava {

class AnswerCounter : public ForwardingBackend {
 public:
  explicit AnswerCounter(UsbBackend& inner) : ForwardingBackend(inner) {}

  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

  void startCounting() { counting_ = true; }
  std::size_t bytesAnswered() const { return bytes_; }

 private:
  class CountedPipe;
  bool counting_ = false;
  std::size_t bytes_ = 0;
};

}  // namespace kestrava
