// UsbPrinterLink: finds the printer among the printer-class interfaces by "vid_232b" in
// its device path, opens its write and read pipe and moves bytes through them.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "link/usb_backend.h"

namespace kestrava {

// Statuses of the link's own operations. They are not ResultCodes: the device turns them
// into its own codes (a failed write is 5, a failed read 6).
enum class [[nodiscard]] LinkStatus : unsigned {
  ok = 0,
  noPrinter = 1,       // open: no interface path contains the filter
  pipeOpenFailed = 2,  // open: the printer is there, a pipe is not
  writeFailed = 3,     // write: failed or short
  readFailed = 4,      // read: failed or timed out
  pipeNotOpen = 5,     // write/read on a closed pipe
};

// "4 (read failed)": for logs and test messages.
std::ostream& operator<<(std::ostream& out, LinkStatus status);

// Reads at most four characters of `path` from `start` as a hexadecimal number the way
// wcstol with base 16 does: stops at the first non-hex character, no digits gives 0.
// Positions past the end of the path count as absent.
std::uint16_t parseHexField(const std::u16string& path, std::size_t start);

// Vendor id << 16 | product id, read 4 and 13 characters after the match of "vid_232b".
std::uint32_t parseUsbId(const std::u16string& path, std::size_t matchStart);

class UsbPrinterLink {
 public:
  static constexpr const char16_t* defaultPathFilter = u"vid_232b";
  static constexpr std::size_t drainReadSize = 1024;
  static constexpr std::uint32_t drainTimeoutMs = 100;
  // A printer that keeps sending cannot hold the run in the drain for ever.
  static constexpr unsigned drainMaxReads = 64;
  // After a read that timed out the printer may still answer it: a printer waking from
  // sleep answers a second late. Before the next request the link waits this long for
  // such a reply and throws it away, so it never passes for the answer to the next one.
  static constexpr std::uint32_t lateReplyWaitMs = 1100;

  explicit UsbPrinterLink(UsbBackend& backend);
  ~UsbPrinterLink();
  UsbPrinterLink(const UsbPrinterLink&) = delete;
  UsbPrinterLink& operator=(const UsbPrinterLink&) = delete;

  LinkStatus open();
  void close();
  LinkStatus write(const std::uint8_t* data, std::uint32_t count);
  LinkStatus read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& transferred, std::uint32_t timeoutMs);
  void drain();

  // The printer may still send what an earlier request asked for (a read timed out, came
  // short, or a data phase was given up): the next write first throws away what comes
  // within lateReplyWaitMs, then reads on as the drain does while bytes keep coming.
  void expectLateBytes();
  bool lateBytesExpected() const { return lateBytesExpected_; }

  bool connected() const { return connected_; }
  std::uint32_t usbId() const { return usbId_; }
  // The device path of the open printer; empty while closed.
  const std::u16string& devicePath() const { return devicePath_; }
  UsbBackend& backend() const { return backend_; }

 private:
  void discardLateBytes();
  void expectLateBytesFor(std::uint32_t waitMs);

  UsbBackend& backend_;
  std::unique_ptr<UsbPipe> writePipe_;
  std::unique_ptr<UsbPipe> readPipe_;
  bool connected_ = false;
  bool lateBytesExpected_ = false;
  // How long the next write first waits for late bytes (the longest any read asked for).
  std::uint32_t lateWaitMs_ = lateReplyWaitMs;
  std::uint32_t usbId_ = 0;
  std::u16string devicePath_;
};

}  // namespace kestrava
