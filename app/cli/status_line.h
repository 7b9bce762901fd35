// On a terminal, the progress of a run is one line that rewrites itself: what the run
// asks the printer for now and, when the printer keeps it waiting, how long it may still
// take and how to stop it. The line is erased before the result is printed, so nothing
// shows twice. Carriage returns and spaces only: no escape sequences, so a Windows
// console shows it as any terminal does.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrava {

class StatusLine {
 public:
  // `write` puts text on the terminal as it stands; `columns` is the terminal's width.
  StatusLine(std::function<void(const std::string&)> write, std::size_t columns);

  // Replaces the line shown with `text`, or with `shorter` when `text` is wider than the
  // terminal; cut to the width so it never wraps.
  void show(const std::string& text, const std::string& shorter = {});
  // Takes the line away and leaves the cursor at the start of the empty line.
  void erase();

 private:
  std::function<void(const std::string&)> write_;
  std::size_t columns_;
  std::size_t shown_ = 0;
};

// How many requests a run sends to a printer that answers none of them; a printer that
// answers needs fewer. The progress line counts against it.
constexpr int kRequestsOfASilentRun = 16;

// "asking the printer for the serial number (request 5 of about 16)"
std::string askingText(int request, const std::string& plainWords);

// "no answer yet for the serial number: request 5 of about 16, at most about 80 s left,
// Ctrl+C stops"; with empty `plainWords`, the same without " for ...", for a narrow
// terminal. The time left counts the rest of this read, its late-reply wait and every
// request still to come waiting as long.
std::string waitingText(int request, const std::string& plainWords, std::chrono::milliseconds waited,
                        std::uint32_t timeoutMs, std::uint32_t lateReplyWaitMs);

// The width of the terminal on this file descriptor; 80 when it cannot be told.
std::size_t terminalColumns(int fd);

}  // namespace kestrava
