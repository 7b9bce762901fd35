#include "app/cli/status_line.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kestrava {

StatusLine::StatusLine(std::function<void(const std::string&)> write, std::size_t columns)
    : write_(std::move(write)), columns_(columns < 2 ? 1 : columns - 1) {}

void StatusLine::show(const std::string& text, const std::string& shorter) {
  // The line must not wrap, or the next carriage return would go back to its last row only.
  const std::string& fitting = text.size() > columns_ && !shorter.empty() ? shorter : text;
  std::string line = fitting.substr(0, columns_);
  std::string out = "\r" + line;
  if (line.size() < shown_) out += std::string(shown_ - line.size(), ' ') + "\r" + line;
  shown_ = line.size();
  write_(out);
}

void StatusLine::erase() {
  if (shown_ == 0) return;
  write_("\r" + std::string(shown_, ' ') + "\r");
  shown_ = 0;
}

namespace {

std::string requestCount(int request) {
  std::string text = "request " + std::to_string(request);
  if (request <= kRequestsOfASilentRun) text += " of about " + std::to_string(kRequestsOfASilentRun);
  return text;
}

}  // namespace

std::string askingText(int request, const std::string& plainWords) {
  return "asking the printer for " + plainWords + " (" + requestCount(request) + ")";
}

std::string waitingText(int request, const std::string& plainWords, std::chrono::milliseconds waited,
                        std::uint32_t timeoutMs, std::uint32_t lateReplyWaitMs) {
  std::string text = "no answer yet" + (plainWords.empty() ? "" : " for " + plainWords) + ": " + requestCount(request);
  if (request <= kRequestsOfASilentRun) {
    long long leftMs = static_cast<long long>(timeoutMs) - waited.count();
    if (leftMs < 0) leftMs = 0;
    leftMs += lateReplyWaitMs + static_cast<long long>(kRequestsOfASilentRun - request) * (timeoutMs + lateReplyWaitMs);
    text += ", at most about " + std::to_string((leftMs + 999) / 1000) + " s left";
  }
  return text + ", Ctrl+C stops";
}

std::size_t terminalColumns(int fd) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (console != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(console, &info)) {
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
  }
#else
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

}  // namespace kestrava
