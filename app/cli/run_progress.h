// What a person at a terminal sees while a run works: each field the moment the run
// knows it, as the dialog shows it, and, while the printer keeps a read waiting longer
// than a second, what the run waits for and for how long at most.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "app/cli/cli_dialog.h"
#include "link/forwarding_backend.h"

namespace kestrava {

// Prints the busy status and then Model, Build, FW version and Serial number lines as
// they are filled; the report and the final status are the run's output, not progress.
class FieldProgress {
 public:
  explicit FieldProgress(std::ostream& out) : out_(out) {}
  void operator()(const CliDialog& dialog);

 private:
  std::ostream& out_;
  std::u16string status_, model_, build_, fwVersion_, serialNumber_;
};

// Sits between the run and the back end, passes everything through, and names a read
// the printer keeps waiting: "waiting for OID_PLATFORM_FW_VERSION.0 (at most 5 s)".
class WaitNotice : public ForwardingBackend {
 public:
  WaitNotice(UsbBackend& inner, std::function<void(const std::string&)> say,
             std::chrono::milliseconds patience = std::chrono::seconds(1));
  ~WaitNotice() override;

  std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) override;

  // What the printer was last asked for, from the bytes written to it.
  static std::string describeRequest(const std::string& previous, const std::uint8_t* data, std::size_t count);

 private:
  class WatchedPipe;
  void written(const std::uint8_t* data, std::size_t count);
  void readStarts(std::uint32_t timeoutMs);
  void readEnds();
  void watch();

  std::function<void(const std::string&)> say_;
  std::chrono::milliseconds patience_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string asked_ = "the printer";
  bool reading_ = false;
  bool told_ = false;
  std::uint32_t timeoutMs_ = 0;
  std::chrono::steady_clock::time_point since_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace kestrava
