#include "app/cli/run_progress.h"

#include <cstdio>
#include <iterator>

#include "app/cli/request_words.h"
#include "app/shown_fields.h"
#include "base/visible_text.h"
#include "link/usb_printer_link.h"
#include "base/text_codec.h"
#include "device/acl_command_block.h"

namespace kestrava {

void FieldProgress::operator()(const CliDialog& dialog) {
  // The run empties the fields first and sets the busy status once; the final status is
  // printed as the run's result.
  if (status_.empty() && !dialog.m_status.empty()) {
    status_ = dialog.m_status;
    out_ << toUtf8(status_) << '\n';
  }
  std::u16string* shown[] = {&model_, &build_, &fwVersion_, &serialNumber_};
  static_assert(sizeof shown / sizeof shown[0] == std::size(kShownFields));
  for (std::size_t i = 0; i < std::size(kShownFields); ++i) {
    const std::u16string& now = dialog.*kShownFields[i].value;
    if (now.empty() || now == *shown[i]) continue;
    *shown[i] = now;
    // Printer text never reaches the terminal raw.
    out_ << captionColumn(kShownFields[i]) << toUtf8(visibleControls(now)) << '\n';
  }
  out_.flush();
}

class WaitNotice::WatchedPipe : public UsbPipe {
 public:
  WatchedPipe(std::unique_ptr<UsbPipe> inner, WaitNotice& notice) : inner_(std::move(inner)), notice_(notice) {}

  long long write(const std::uint8_t* data, std::size_t count) override {
    notice_.written(data, count);
    return inner_->write(data, count);
  }

  bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) override {
    notice_.readStarts(timeoutMs);
    bool ok = inner_->read(buffer, wanted, transferred, timeoutMs);
    notice_.readEnds();
    return ok;
  }

 private:
  std::unique_ptr<UsbPipe> inner_;
  WaitNotice& notice_;
};

WaitNotice::WaitNotice(UsbBackend& inner, RequestObserver& observer, std::chrono::milliseconds patience)
    : ForwardingBackend(inner), observer_(observer), patience_(patience), watcher_([this] { watch(); }) {}

WaitNotice::~WaitNotice() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  watcher_.join();
}

std::unique_ptr<UsbPipe> WaitNotice::openPipe(const std::u16string& devicePath, PipeEnd end) {
  std::unique_ptr<UsbPipe> pipe = inner_.openPipe(devicePath, end);
  if (!pipe) return nullptr;
  return std::make_unique<WatchedPipe>(std::move(pipe), *this);
}

std::string WaitNotice::describeRequest(const std::string& previous, const std::uint8_t* data, std::size_t count) {
  std::string bytes(reinterpret_cast<const char*>(data), count);
  // The data behind an OID query is "<!--#ssi 0 NAME.INDEX -->"; behind a file read, the path.
  if (std::size_t oid = bytes.find("OID_"); oid != std::string::npos) {
    return bytes.substr(oid, bytes.find(' ', oid) - oid);
  }
  if (!bytes.empty() && bytes[0] == '/') return "the file " + bytes.substr(0, bytes.find('\0'));
  if (count == 16 && data[0] == 0x00 && data[1] == 0xAC) {
    std::uint16_t command = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    const char* what = nullptr;
    switch (command) {
      case aclcmd::firmwareVersion: what = "the firmware version"; break;
      case aclcmd::buildInfo: what = "the build information"; break;
      case aclcmd::serialNumber: what = "the serial number"; break;
      case aclcmd::ramSize: what = "the memory size"; break;
      case aclcmd::oidQuery: what = "an OID query"; break;
      case aclcmd::fileRead: what = "a file"; break;
      default: what = "a command"; break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s (command 0x%04X)", what, command);
    return text;
  }
  return previous;  // the language switch and the UEL around every request
}

void WaitNotice::written(const std::uint8_t* data, std::size_t count) {
  int request = 0;
  std::string asked;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string now = describeRequest(asked_, data, count);
    bool block = count == 16 && data[0] == 0x00 && data[1] == 0xAC;
    if (block) ++requests_;
    if (!block && now == asked_) return;  // the language switch and the UEL
    asked_ = now;
    request = requests_;
    asked = asked_;
  }
  observer_.asking(request, asked);
}

void WaitNotice::readStarts(std::uint32_t timeoutMs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reading_ = true;
    timeoutMs_ = timeoutMs;
    since_ = std::chrono::steady_clock::now();
    nextNotice_ = since_ + patience_;
  }
  changed_.notify_all();
}

void WaitNotice::readEnds() {
  std::lock_guard<std::mutex> lock(mutex_);
  reading_ = false;
}

void WaitNotice::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (!reading_) {
      changed_.wait(lock);
      continue;
    }
    auto now = std::chrono::steady_clock::now();
    if (now < nextNotice_) {
      changed_.wait_until(lock, nextNotice_);
      continue;
    }
    bool first = nextNotice_ == since_ + patience_;
    nextNotice_ += std::chrono::seconds(1);
    int request = requests_;
    std::string asked = asked_;
    std::uint32_t timeoutMs = timeoutMs_;
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - since_);
    // The observer writes to the terminal: never while the run waits on this lock.
    lock.unlock();
    observer_.waiting(request, asked, waited, timeoutMs, first);
    lock.lock();
  }
}

RunProgress::RunProgress(UsbBackend& inner, ProgressStyle style, std::function<void(const std::string&)> write,
                         std::size_t columns)
    : style_(style),
      write_(std::move(write)),
      line_(write_, columns),
      notice_(std::make_unique<WaitNotice>(inner, static_cast<RequestObserver&>(*this))) {}

RunProgress::~RunProgress() {
  notice_.reset();  // no notice comes after this
  finish();
}

void RunProgress::fieldsChanged(const CliDialog& dialog) {
  if (style_ != ProgressStyle::lines) return;
  std::lock_guard<std::mutex> lock(mutex_);
  fields_(dialog);
  std::string text = fieldLines_.str();
  fieldLines_.str({});
  if (!text.empty()) write_(text);
}

void RunProgress::finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  line_.erase();
}

void RunProgress::asking(int request, const std::string& asked) {
  if (style_ != ProgressStyle::statusLine) return;
  std::lock_guard<std::mutex> lock(mutex_);
  line_.show(askingText(request, requestInPlainWords(asked)));
}

void RunProgress::waiting(int request, const std::string& asked, std::chrono::milliseconds waited,
                          std::uint32_t timeoutMs, bool first) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (style_ == ProgressStyle::statusLine) {
    constexpr std::uint32_t lateMs = UsbPrinterLink::lateReplyWaitMs;
    line_.show(waitingText(request, requestInPlainWords(asked), waited, timeoutMs, lateMs),
               waitingText(request, "", waited, timeoutMs, lateMs));
    return;
  }
  if (!first) return;
  char limit[48];
  if (timeoutMs % 1000 == 0) {
    std::snprintf(limit, sizeof limit, "%u s", timeoutMs / 1000);
  } else {
    std::snprintf(limit, sizeof limit, "%u ms", timeoutMs);
  }
  write_("waiting for " + asked + " (at most " + limit + ")\n");
}

}  // namespace kestrava
