// The transport seam below UsbPrinterLink: one back end per medium (virtual printer,
// TCP byte stream, libusb, Windows SetupAPI pipes). The link holds the logic the printer
// sees (path filter, id parse, statuses, drain); a back end only enumerates device paths
// and moves bytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrava {

// One open channel to the printer: "\PIPE00" writes, "\PIPE01" reads.
class UsbPipe {
 public:
  virtual ~UsbPipe() = default;  // closes the channel

  // Writes the bytes in one call; returns how many the printer took, or -1 on failure.
  virtual long long write(const std::uint8_t* data, std::size_t count) = 0;

  // Reads up to `wanted` bytes, waiting at most `timeoutMs`. Returns true when the read
  // completed (with `transferred` bytes, possibly fewer than wanted), false when it failed
  // or timed out; a timed-out read is cancelled and finished before this returns.
  virtual bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& transferred, std::uint32_t timeoutMs) = 0;
};

enum class PipeEnd { write, read };

// The pipe's name under the printer's device path: "PIPE00" writes, "PIPE01" reads.
inline const char* pipeName(PipeEnd end) { return end == PipeEnd::write ? "PIPE00" : "PIPE01"; }

class UsbBackend {
 public:
  virtual ~UsbBackend() = default;

  // Device paths of the printer-class interfaces present, in enumeration order.
  virtual std::vector<std::u16string> interfacePaths() = 0;

  // Opens one channel of the interface with that device path; nullptr when it cannot be
  // opened (absent, busy, no permission, connection refused).
  virtual std::unique_ptr<UsbPipe> openPipe(const std::u16string& devicePath, PipeEnd end) = 0;

  // A short advice after no printer interface was found, where the back end knows more
  // than "check the cable" (no USB devices visible at all); empty otherwise.
  virtual std::string notFoundHint() const { return {}; }

  // The far end a person would name, where it is not the device path: "HOST:PORT" for a
  // printer on TCP; empty for a printer attached here.
  virtual std::string peerName() const { return {}; }

  // A short advice for the user after a pipe could not be opened (for example a missing
  // permission); empty when there is nothing to add.
  virtual std::string openFailureHint() const { return {}; }

  // The operating system's error code of the back end's last open, write or read that
  // failed (GetLastError() on Windows); 0 when the system gave none, as for a plain
  // time-out.
  virtual std::uint32_t lastSystemError() const { return 0; }

  // Callable from any thread: ends the write or read in flight at once as failed, and
  // every later open, write and read of this back end fails at once; there is no way
  // back. For a window that closes while a run still talks to the printer. A back end
  // that cannot cut a transfer short lets it run to its end or its time-out.
  virtual void cancelTransfer() {}

  // The time the back end's reads wait in. A printer simulated in process keeps a time
  // of its own, so a wait of minutes costs the tests none.
  virtual std::chrono::steady_clock::time_point now() const { return std::chrono::steady_clock::now(); }
};

}  // namespace kestrava
