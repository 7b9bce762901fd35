#include "link/usb_printer_link.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "base/hex_text.h"

namespace kestrava {

std::uint16_t parseHexField(const std::u16string& path, std::size_t start) {
  std::uint16_t value = 0;
  for (std::size_t i = start; i < start + 4 && i < path.size(); ++i) {
    int digit = hexDigitValue(path[i]);
    if (digit < 0) break;
    value = static_cast<std::uint16_t>(value * 16 + digit);
  }
  return value;
}

std::uint32_t parseUsbId(const std::u16string& path, std::size_t matchStart) {
  std::uint32_t vendor = parseHexField(path, matchStart + 4);
  std::uint32_t product = parseHexField(path, matchStart + 13);
  return vendor << 16 | product;
}

std::ostream& operator<<(std::ostream& out, LinkStatus status) {
  static const char* const kNames[] = {"ok",           "no printer",  "pipe open failed",
                                       "write failed", "read failed", "pipe not open"};
  auto index = static_cast<unsigned>(status);
  out << index;
  if (index < sizeof kNames / sizeof kNames[0]) out << " (" << kNames[index] << ")";
  return out;
}

UsbPrinterLink::UsbPrinterLink(UsbBackend& backend) : backend_(backend) {}

UsbPrinterLink::~UsbPrinterLink() { close(); }

LinkStatus UsbPrinterLink::open() {
  if (connected_) return LinkStatus::ok;

  // The first interface whose path carries the filter is the printer; only its pipes are
  // tried, a later match is never looked at.
  for (const std::u16string& path : backend_.interfacePaths()) {
    std::size_t match = path.find(defaultPathFilter);
    if (match == std::u16string::npos) continue;

    std::uint32_t id = parseUsbId(path, match);
    writePipe_ = backend_.openPipe(path, PipeEnd::write);
    if (writePipe_) readPipe_ = backend_.openPipe(path, PipeEnd::read);
    if (!writePipe_ || !readPipe_) {
      close();
      return LinkStatus::pipeOpenFailed;
    }
    usbId_ = id;
    devicePath_ = path;
    connected_ = true;
    return LinkStatus::ok;
  }
  close();
  return LinkStatus::noPrinter;
}

void UsbPrinterLink::close() {
  readPipe_.reset();
  writePipe_.reset();
  usbId_ = 0;
  connected_ = false;
  lateBytesExpected_ = false;
  devicePath_.clear();
}

LinkStatus UsbPrinterLink::write(const std::uint8_t* data, std::uint32_t count) {
  if (!writePipe_) return LinkStatus::pipeNotOpen;
  if (lateBytesExpected_) discardLateBytes();
  long long written = writePipe_->write(data, count);
  return written == static_cast<long long>(count) ? LinkStatus::ok : LinkStatus::writeFailed;
}

LinkStatus UsbPrinterLink::read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& transferred,
                                std::uint32_t timeoutMs) {
  if (!readPipe_) return LinkStatus::pipeNotOpen;
  std::size_t got = 0;
  const auto start = backend_.now();
  bool completed = readPipe_->read(buffer, wanted, got, timeoutMs);
  // A pipe never reports more than it was asked for; clamp anyway so no caller can be
  // led past its buffer by a broken back end.
  transferred = static_cast<std::uint32_t>(got < wanted ? got : wanted);
  if (!completed) {
    expectLateBytes();
  } else if (transferred < wanted) {
    // A reply that came short is a reply cut in two: on a byte stream its first part came
    // before the time-out, on USB in a short packet of its own. The rest may come as late
    // as the whole read could have waited, and a second more.
    const long long took = std::chrono::ceil<std::chrono::milliseconds>(backend_.now() - start).count();
    const long long rest = std::clamp<long long>(static_cast<long long>(timeoutMs) - took, 0, timeoutMs);
    expectLateBytesFor(static_cast<std::uint32_t>(rest) + lateReplyWaitMs);
  }
  return completed ? LinkStatus::ok : LinkStatus::readFailed;
}

void UsbPrinterLink::expectLateBytes() { expectLateBytesFor(lateReplyWaitMs); }

void UsbPrinterLink::expectLateBytesFor(std::uint32_t waitMs) {
  if (!lateBytesExpected_ || waitMs > lateWaitMs_) lateWaitMs_ = waitMs;
  lateBytesExpected_ = true;
}

void UsbPrinterLink::discardLateBytes() {
  lateBytesExpected_ = false;
  std::array<std::uint8_t, drainReadSize> scratch{};
  std::size_t got = 0;
  // Straight to the pipe: this wait is the link's own, and its time-out must not ask for
  // another one.
  if (!readPipe_ || !readPipe_->read(scratch.data(), drainReadSize, got, lateWaitMs_) || got == 0) return;
  for (unsigned reads = 1; reads < drainMaxReads; ++reads) {
    got = 0;
    if (!readPipe_->read(scratch.data(), drainReadSize, got, drainTimeoutMs) || got == 0) return;
  }
  // The printer is still sending: the next request's reply is spoilt anyway, and its
  // read will tell.
}

void UsbPrinterLink::drain() {
  if (!connected_) return;
  std::array<std::uint8_t, drainReadSize> scratch{};
  for (unsigned reads = 0; reads < drainMaxReads; ++reads) {
    std::uint32_t transferred = 0;
    if (read(scratch.data(), drainReadSize, transferred, drainTimeoutMs) != LinkStatus::ok) break;
  }
  // The drain ends on a read that brought nothing: the pipe is clear, not late.
  lateBytesExpected_ = false;
}

}  // namespace kestrava
