// What a person sees while a run works. On a terminal: one line that rewrites itself with
// what the run asks for now and, while the printer keeps it waiting, how long the run may
// still take; it is erased before the result prints. With --progress to a file or a pipe:
// plain lines, each field the moment the run knows it, as the dialog shows it, and what a
// read waits for when the printer keeps it waiting longer than a second.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>

#include "app/cli/cli_dialog.h"
#include "app/cli/status_line.h"
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

// Told by WaitNotice what the run asks for and how long the printer keeps it waiting.
class RequestObserver {
 public:
  virtual ~RequestObserver() = default;
  // Request `request` (counted from 1, one per command block) asks for `asked`
  // (WaitNotice::describeRequest's words); told again when the words grow more precise.
  virtual void asking(int request, const std::string& asked) = 0;
  // A read has waited `waited` of its `timeoutMs`: told once after the patience (`first`)
  // and then every second until the read ends.
  virtual void waiting(int request, const std::string& asked, std::chrono::milliseconds waited, std::uint32_t timeoutMs,
                       bool first) = 0;
};

// Sits between the run and the back end, passes everything through, counts the requests
// and tells the observer what each asks for and how long a read waits.
class WaitNotice : public ForwardingBackend {
 public:
  WaitNotice(UsbBackend& inner, RequestObserver& observer,
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

  RequestObserver& observer_;
  std::chrono::milliseconds patience_;
  int requests_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string asked_ = "the printer";
  bool reading_ = false;
  std::chrono::steady_clock::time_point nextNotice_;
  std::uint32_t timeoutMs_ = 0;
  std::chrono::steady_clock::time_point since_;
  bool stopping_ = false;
  std::thread watcher_;
};

// How progress reaches stderr.
enum class ProgressStyle {
  lines,       // one line per field and per slow read, for files and pipes
  statusLine,  // one rewriting line on a terminal, erased before the result
};

// The progress of one run: wraps the back end the run sees and watches the dialog's
// fields. `write` puts text on stderr as it stands (the caller serialises it with the
// trace dump and its messages).
class RunProgress : private RequestObserver {
 public:
  RunProgress(UsbBackend& inner, ProgressStyle style, std::function<void(const std::string&)> write,
              std::size_t columns = 80);
  ~RunProgress() override;

  UsbBackend& backend() { return *notice_; }
  // For CliDialog::onUpdate: the fields as lines; nothing on the status line.
  void fieldsChanged(const CliDialog& dialog);
  // The run is over: the status line goes, so the result prints on a clean line.
  void finish();

 private:
  void asking(int request, const std::string& asked) override;
  void waiting(int request, const std::string& asked, std::chrono::milliseconds waited, std::uint32_t timeoutMs,
               bool first) override;

  ProgressStyle style_;
  std::function<void(const std::string&)> write_;
  std::mutex mutex_;
  std::ostringstream fieldLines_;
  FieldProgress fields_{fieldLines_};
  StatusLine line_;
  std::unique_ptr<WaitNotice> notice_;
};

}  // namespace kestrava
