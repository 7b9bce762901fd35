#include "run/answer_counter.h"

namespace kestrava {

class AnswerCounter::CountedPipe : public UsbPipe {
 public:
  CountedPipe(std::unique_ptr<UsbPipe> inner, AnswerCounter& counter) : inner_(std::move(inner)), counter_(counter) {}

  long long write(const std::uint8_t* data, std::size_t count) override { return inner_->write(data, count); }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    bool ok = inner_->read(buffer, wanted, transferred, timeoutMs);
    // A read that failed may still have brought bytes before it did.
    if (counter_.counting_) counter_.bytes_ += transferred < wanted ? transferred : wanted;
    return ok;
  }

 private:
  std::unique_ptr<UsbPipe> inner_;
  AnswerCounter& counter_;
};

std::unique_ptr<UsbPipe> AnswerCounter::openPipe(const std::u16string& devicePath, PipeEnd end) {
  std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
  if (!pipe) return nullptr;
  return std::make_unique<CountedPipe>(std::move(pipe), *this);
}

}  // namespace kestrava
