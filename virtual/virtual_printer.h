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
  // queued, so the host would wait in vain.
  ReadOutcome take(std::size_t wanted, std::string& out);

  bool lost() const;
  unsigned sessions() const;  // how often a host opened the printer
  std::vector<ReceivedRequest> requests() const;
  std::size_t requestCount() const;
  std::vector<std::string> protocolErrors() const;

 private:
  void parse();
  void answer(std::uint16_t command, const std::string& data);
  const Fault* faultFor(std::uint16_t command, const std::string& target);
  void queueReply(std::uint16_t command, std::uint16_t status, const std::uint8_t* answer,
                  std::size_t answerLength, const std::string& dataPhase,
                  const Fault* fault);
  void protocolError(const std::string& what);

  Scenario scenario_;
  std::vector<int> faultUses_;
  mutable std::mutex mutex_;
  std::string input_;
  struct Transfer {
    std::string bytes;
    std::size_t taken = 0;
  };
  std::deque<Transfer> output_;
  std::vector<ReceivedRequest> requests_;
  std::vector<std::string> protocolErrors_;
  unsigned session_ = 0;
  std::uint32_t sessionRequests_ = 0;
  bool lost_ = false;
};

}  // namespace kestrava::virtualprinter
