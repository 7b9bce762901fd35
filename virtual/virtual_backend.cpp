#include "virtual/virtual_backend.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "base/text_codec.h"

namespace kestrava {

// A cancel of the host's transfers, shared by the back end and its pipes.
struct VirtualBackend::Cancel {
  std::mutex mutex;
  std::condition_variable changed;
  bool cancelled = false;

  bool isSet() {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
  }
  // Waits `ms` as a slow printer does; false when a cancel ended the wait.
  bool waitFor(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled; });
  }
};

namespace {

using virtualprinter::ReadOutcome;
using virtualprinter::VirtualPrinter;

class VirtualPipe : public UsbPipe {
 public:
  VirtualPipe(std::shared_ptr<VirtualPrinter> printer, std::shared_ptr<VirtualBackend::Cancel> cancel)
      : printer_(std::move(printer)), cancel_(std::move(cancel)) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    if (cancel_->isSet()) return -1;
    return printer_->receive(data, count) ? static_cast<long long>(count) : -1;
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    transferred = 0;
    if (cancel_->isSet()) return false;
    std::uint32_t delay = printer_->scenario().replyDelayMs;
    if (delay > 0) {
      // A slow printer: its answer comes `delay` late, or not within this read at all.
      if (!cancel_->waitFor(delay < timeoutMs ? delay : timeoutMs)) return false;
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
  std::shared_ptr<VirtualBackend::Cancel> cancel_;
};

}  // namespace

VirtualBackend::VirtualBackend(virtualprinter::Scenario scenario)
    : printer_(std::make_shared<VirtualPrinter>(std::move(scenario))),
      cancel_(std::make_shared<Cancel>()),
      start_(std::chrono::steady_clock::now()) {}

void VirtualBackend::cancelTransfer() {
  {
    std::lock_guard<std::mutex> lock(cancel_->mutex);
    cancel_->cancelled = true;
  }
  cancel_->changed.notify_all();
}

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
  if (cancel_->isSet()) return nullptr;
  const virtualprinter::Scenario& scenario = printer_->scenario();
  if (devicePath != fromUtf8(scenario.path())) return nullptr;
  if ((end == PipeEnd::write && scenario.openFails == "write") ||
      (end == PipeEnd::read && scenario.openFails == "read")) {
    return nullptr;
  }
  if (end == PipeEnd::write) printer_->connect();
  return std::make_unique<VirtualPipe>(printer_, cancel_);
}

}  // namespace kestrava
