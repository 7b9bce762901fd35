// In the test guest: a run on the real USB stack through the libusb back end, cut short
// while a read waits for a reply the printer holds back, as a window that closes mid-run
// cuts it short. The cancel must reach into the read in flight (libusb_cancel_transfer):
// a run that ended only when the read gave up would end the read's time-out later.
// Prints, for the guest's console:
//   cancel-waited-ms N   how long the read had waited when the cancel came
//   cancel-ended-ms N    how long the run took to end after the cancel
//   cancel-status TEXT   the status the run ended with
// or "cancel-never-blocked" when no read waited long enough to be cancelled.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "base/text_codec.h"
#include "link/cancellable_backend.h"
#include "link/forwarding_backend.h"
#include "link/libusb_backend.h"
#include "run/acquisition_dialog.h"
#include "run/acquisition_thread.h"

namespace {

using namespace kestrava;
using Clock = std::chrono::steady_clock;

// Keeps when the read in flight started, and nothing when none is in flight.
class WatchedReads : public ForwardingBackend {
 public:
  using ForwardingBackend::ForwardingBackend;

  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override {
    std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
    if (!pipe || end == PipeEnd::write) return pipe;
    return std::make_unique<Pipe>(std::move(pipe), *this);
  }

  // How long the read in flight has waited; zero when none is in flight.
  Clock::duration waiting() const {
    const Clock::rep started = startedAt_.load();
    return started == 0 ? Clock::duration{0} : Clock::now().time_since_epoch() - Clock::duration{started};
  }

 private:
  class Pipe : public UsbPipe {
   public:
    Pipe(std::unique_ptr<UsbPipe> inner, WatchedReads& owner) : inner_(std::move(inner)), owner_(owner) {}
    long long write(const std::uint8_t* data, std::size_t count) override { return inner_->write(data, count); }
    bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
      owner_.startedAt_ = Clock::now().time_since_epoch().count();
      const bool ok = inner_->read(buffer, wanted, transferred, timeoutMs);
      owner_.startedAt_ = 0;
      return ok;
    }

   private:
    std::unique_ptr<UsbPipe> inner_;
    WatchedReads& owner_;
  };

  std::atomic<Clock::rep> startedAt_{0};
};

class QuietDialog : public AcquisitionDialog {
 public:
  void UpdateData(bool) override {}
  void EnableWindow(DialogButton, bool) override {}
};

long long milliseconds(Clock::duration duration) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

}  // namespace

int main() {
  using namespace std::chrono_literals;
  LibusbBackend usb;
  WatchedReads watched(usb);
  CancellableBackend backend(watched);
  QuietDialog dialog;
  std::atomic<bool> ended{false};
  std::thread run([&] {
    AcquisitionThread(dialog, backend);
    ended = true;
  });

  // A read that has waited a second is the one the printer holds back: the run's other
  // reads are answered within milliseconds.
  const Clock::time_point giveUp = Clock::now() + 120s;
  Clock::duration waited{0};
  while (!ended && Clock::now() < giveUp && (waited = watched.waiting()) < 1s) std::this_thread::sleep_for(10ms);
  if (ended || waited < 1s) {
    run.join();
    std::printf("cancel-never-blocked\n");
    return 1;
  }
  const Clock::time_point cancelled = Clock::now();
  backend.cancel();
  run.join();
  std::printf("cancel-waited-ms %lld\n", milliseconds(waited));
  std::printf("cancel-ended-ms %lld\n", milliseconds(Clock::now() - cancelled));
  std::printf("cancel-status %s\n", toUtf8(dialog.m_status).c_str());
  return 0;
}
