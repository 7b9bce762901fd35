// A virtual printer behind two Windows named pipes, "<path>\PIPE00" (the printer reads
// what the host writes) and "<path>\PIPE01" (the host reads the printer's answers), so
// that the Windows back end opens, writes, reads, times out and cancels on real pipe
// handles. Each pipe takes one client at a time, like a printer's pipes opened without
// sharing; a host that closes its pipes can open them again for a new session.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "virtual/virtual_printer.h"

namespace kestrava::testing {

// A printer that `stopsReading` connects and then never takes another byte from the
// host, and its pipe holds only a few bytes: the host's next write waits until it is cut
// short, like a write to a printer whose input has stalled.
enum class PrinterInput { read, stopsReading };

class NamedPipePrinter {
 public:
  // `name` becomes part of the device path: "\\.\pipe\kestrava-<process>-<n>-<name>".
  NamedPipePrinter(virtualprinter::Scenario scenario, const std::string& name,
                   PrinterInput input = PrinterInput::read);
  ~NamedPipePrinter();
  NamedPipePrinter(const NamedPipePrinter&) = delete;
  NamedPipePrinter& operator=(const NamedPipePrinter&) = delete;

  const std::u16string& devicePath() const { return devicePath_; }
  virtualprinter::VirtualPrinter& printer() { return printer_; }

  // How many times a host has opened both pipes.
  unsigned sessions();

  // Bytes the host wrote that the printer has not taken (PeekNamedPipe).
  DWORD bytesWaiting();

  // Waits until the host has written bytes that the printer did not take; false when
  // that does not happen within the time.
  bool waitForBytesWaiting(DWORD timeoutMs);

  // Waits until `count` sessions have ended (the host closed its pipes) and both pipes
  // accept a host again; false when that does not happen within the time.
  bool waitUntilClosed(unsigned count, DWORD timeoutMs);

 private:
  void serve();
  bool connect();
  bool flush();
  bool wait(HANDLE pipe, OVERLAPPED& overlapped, DWORD& transferred);

  virtualprinter::VirtualPrinter printer_;
  std::u16string devicePath_;
  HANDLE toPrinter_ = INVALID_HANDLE_VALUE;
  HANDLE fromPrinter_ = INVALID_HANDLE_VALUE;
  HANDLE stop_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool listening_ = false;
  unsigned sessionsStarted_ = 0;
  unsigned sessionsEnded_ = 0;
  PrinterInput input_;
  std::thread thread_;
};

}  // namespace kestrava::testing
