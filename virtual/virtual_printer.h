// The printer side of the protocol: takes the bytes the host writes, parses the PJL
// language switch, the 16-byte command blocks, their data and the UEL strictly, and
// queues the replies the scenario gives, with its faults.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "virtual/scenario.h"

namespace kestrava::virtualprinter {

struct ReceivedRequest {
  unsigned session = 0;
  std::uint32_t number = 0;  // 1-based within its session
  std::uint16_t command = 0;
  std::string data;  // OID request text or file path
};

enum class ReadOutcome { data, nothing, lost };

class VirtualPrinter {
 public:
  explicit VirtualPrinter(Scenario scenario);

  const Scenario& scenario() const { return scenario_; }

  // A host opens the printer: a new session begins with the stale bytes queued.
  void connect();

  // Bytes the host wrote. Returns false once the connection is lost.
  bool receive(const std::uint8_t* data, std::size_t count);

  // Takes up to `wanted` bytes of the next queued transfer. `nothing`: no transfer is
  // queued, so the host would wait in vain. Without a clock a late reply and a trickle
  // never come.
  ReadOutcome take(std::size_t wanted, std::string& out);

  // The same at `nowMs` on the printer's clock: a transfer that is not due yet gives
  // `nothing` and its time in `dueMs` (kNever while it waits for the host to give up).
  static constexpr std::uint64_t kNever = ~std::uint64_t{0};
  ReadOutcome take(std::size_t wanted, std::string& out, std::uint64_t nowMs, std::uint64_t& dueMs);

  // The host's read gave up at `nowMs`: a late reply it was waiting for is sent its delay
  // later. Over a stream the printer cannot see that, so `assumeHostTimeout` makes a late
  // reply due that long after its request instead.
  void hostGaveUp(std::uint64_t nowMs);
  void assumeHostTimeout(std::uint32_t timeoutMs);

  // The printer's clock in process: the host's waits advance it instead of passing.
  std::uint64_t clockMs() const;
  void advanceClock(std::uint64_t ms);

  bool lost() const;
  unsigned sessions() const;  // how often a host opened the printer

  // The log of received requests keeps the latest kRequestLogLimit of them, so a host
  // that sends requests for hours does not fill the memory; requestCount() counts all.
  static constexpr std::size_t kRequestLogLimit = 1024;
  std::vector<ReceivedRequest> requests() const;  // the latest, oldest first
  std::size_t requestCount() const;
  std::vector<std::string> protocolErrors() const;

 private:
  void parse();
  void answer(std::uint16_t command, const std::string& data);
  const Fault* faultFor(std::uint16_t command, const std::string& target);
  struct Transfer;
  void queueReply(std::uint16_t command, std::uint16_t status, const std::uint8_t* answer, std::size_t answerLength,
                  Transfer dataPhase, const Fault* fault);
  void protocolError(const std::string& what);

  Scenario scenario_;
  std::vector<int> faultUses_;
  mutable std::mutex mutex_;
  std::string input_;
  // Bytes on their way to the host. A file of the scenario is sent from where it is, never
  // copied (a scenario may hold files of many MiB).
  struct Transfer {
    std::string owned;
    const std::string* shared = nullptr;
    std::uint64_t length = 0;
    std::uint64_t taken = 0;
    std::uint64_t dueMs = 0;       // not sent before; kNever: held until the host gives up
    std::uint32_t lateMs = 0;      // a held reply: sent this long after the host gave up
    std::uint32_t pieceBytes = 0;  // a trickle: this many bytes at a time, `pieceMs` apart
    std::uint32_t pieceMs = 0;
    std::uint64_t pieceLeft = 0;
    static Transfer of(std::string bytes);
    static Transfer view(const std::string& bytes, std::uint64_t length);
  };
  std::uint64_t clockMs_ = 0;
  std::uint32_t assumedHostTimeoutMs_ = 0;
  std::deque<Transfer> output_;
  std::deque<ReceivedRequest> requests_;
  std::size_t requestCount_ = 0;
  std::vector<std::string> protocolErrors_;
  unsigned session_ = 0;
  std::uint32_t sessionRequests_ = 0;
  bool lost_ = false;
};

}  // namespace kestrava::virtualprinter
