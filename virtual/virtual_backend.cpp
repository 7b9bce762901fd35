#include "virtual/virtual_backend.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "base/text_codec.h"

namespace kestrava {

namespace {

using virtualprinter::ReadOutcome;
using virtualprinter::VirtualPrinter;

class VirtualPipe : public UsbPipe {
 public:
  explicit VirtualPipe(std::shared_ptr<VirtualPrinter> printer) : printer_(std::move(printer)) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    return printer_->receive(data, count) ? static_cast<long long>(count) : -1;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    std::uint32_t delay = printer_->scenario().replyDelayMs;
    if (delay > 0) {
      // A slow printer: its answer comes `delay` late, or not within this read at all.
      std::this_thread::sleep_for(std::chrono::milliseconds(delay < timeoutMs ? delay : timeoutMs));
      if (delay > timeoutMs) return false;
    }
    std::string bytes;
    // The printer lives on a clock of its own: a read that would wait for an answer moves
    // the clock to the answer instead of waiting, and a time-out moves it by the whole
    // time-out at once, so a mute or trickling printer costs the tests no time. A late
    // reply is queued the moment the time-out is reported.
    const std::uint64_t now = printer_->clockMs();
    std::uint64_t due = 0;
    ReadOutcome outcome = printer_->take(wanted, bytes, now, due);
    if (outcome == ReadOutcome::nothing && due != VirtualPrinter::kNever && due - now <= timeoutMs) {
      printer_->advanceClock(due - now);
      outcome = printer_->take(wanted, bytes, due, due);
    }
    if (outcome != ReadOutcome::data) {
      printer_->advanceClock(timeoutMs);
      printer_->hostGaveUp(printer_->clockMs());
      return false;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    transferred = bytes.size();
    return true;
  }

 private:
  std::shared_ptr<VirtualPrinter> printer_;
};

}  // namespace

VirtualBackend::VirtualBackend(virtualprinter::Scenario scenario)
    : printer_(std::make_shared<VirtualPrinter>(std::move(scenario))), start_(std::chrono::steady_clock::now()) {}

std::chrono::steady_clock::time_point VirtualBackend::now() const {
  return start_ + std::chrono::milliseconds(printer_->clockMs());
}

std::vector<std::u16string> VirtualBackend::interfacePaths() {
  std::vector<std::u16string> paths;
  for (const std::string& other : printer_->scenario().otherInterfaces) paths.push_back(fromUtf8(other));
  paths.push_back(fromUtf8(printer_->scenario().path()));
  return paths;
}

std::unique_ptr<UsbPipe> VirtualBackend::openPipe(const std::u16string& devicePath, PipeEnd end) {
  const virtualprinter::Scenario& scenario = printer_->scenario();
  if (devicePath != fromUtf8(scenario.path())) return nullptr;
  if ((end == PipeEnd::write && scenario.openFails == "write") ||
      (end == PipeEnd::read && scenario.openFails == "read")) {
    return nullptr;
  }
  if (end == PipeEnd::write) printer_->connect();
  return std::make_unique<VirtualPipe>(printer_);
}

}  // namespace kestrava
