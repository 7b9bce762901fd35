#include "named_pipe_printer.h"

#include <chrono>
#include <stdexcept>

namespace kestrava::testing {

namespace {

std::atomic<unsigned> printersMade{0};

HANDLE makePipe(const std::wstring& name, DWORD inputSize = 65536) {
  HANDLE pipe =
      CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, inputSize, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeW failed");
  return pipe;
}

}  // namespace

NamedPipePrinter::NamedPipePrinter(virtualprinter::Scenario scenario, const std::string& name, PrinterInput input)
    : printer_(std::move(scenario)), input_(input) {
  std::string path = "\\\\.\\pipe\\kestrava-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++printersMade) + "-" + name;
  devicePath_.assign(path.begin(), path.end());
  std::wstring base(path.begin(), path.end());
  toPrinter_ = makePipe(base + L"\\PIPE00", input == PrinterInput::stopsReading ? 1 : 65536);
  fromPrinter_ = makePipe(base + L"\\PIPE01");
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this] { serve(); });
  // A host that came before the pipes listen would find no printer.
  if (!waitUntilClosed(0, 30000)) {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(toPrinter_);
    CloseHandle(fromPrinter_);
    CloseHandle(stop_);
    throw std::runtime_error("the named-pipe printer does not listen");
  }
}

NamedPipePrinter::~NamedPipePrinter() {
  SetEvent(stop_);
  thread_.join();
  CloseHandle(toPrinter_);
  CloseHandle(fromPrinter_);
  CloseHandle(stop_);
}

bool NamedPipePrinter::wait(HANDLE pipe, OVERLAPPED& overlapped, DWORD& transferred) {
  HANDLE events[2] = {overlapped.hEvent, stop_};
  if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
    CancelIoEx(pipe, &overlapped);
    GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE;
}

bool NamedPipePrinter::connect() {
  // Both pipes listen before either is waited for: the host opens its read pipe right
  // after its write pipe.
  HANDLE pipes[2] = {toPrinter_, fromPrinter_};
  OVERLAPPED overlapped[2]{};
  bool pending[2] = {false, false};
  bool failed = false;
  for (int i = 0; i < 2; ++i) {
    overlapped[i].hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ConnectNamedPipe(pipes[i], &overlapped[i])) continue;
    DWORD error = GetLastError();
    pending[i] = error == ERROR_IO_PENDING;
    failed = failed || (!pending[i] && error != ERROR_PIPE_CONNECTED);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listening_ = true;
  }
  changed_.notify_all();
  for (int i = 0; i < 2; ++i) {
    DWORD unused = 0;
    if (pending[i] && !wait(pipes[i], overlapped[i], unused)) failed = true;
    CloseHandle(overlapped[i].hEvent);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  listening_ = false;
  if (!failed) ++sessionsStarted_;
  return !failed;
}

DWORD NamedPipePrinter::bytesWaiting() {
  DWORD available = 0;
  if (!PeekNamedPipe(toPrinter_, nullptr, 0, nullptr, &available, nullptr)) return 0;
  return available;
}

bool NamedPipePrinter::waitForBytesWaiting(DWORD timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (bytesWaiting() == 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(2);
  }
  return true;
}

unsigned NamedPipePrinter::sessions() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessionsStarted_;
}

bool NamedPipePrinter::waitUntilClosed(unsigned count, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return sessionsEnded_ >= count && listening_; });
}

bool NamedPipePrinter::flush() {
  std::uint32_t delay = printer_.scenario().replyDelayMs;
  std::string bytes;
  while (printer_.take(static_cast<std::size_t>(-1), bytes) == virtualprinter::ReadOutcome::data) {
    if (delay && WaitForSingleObject(stop_, delay) == WAIT_OBJECT_0) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    bool ok = WriteFile(fromPrinter_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &overlapped) ||
              (GetLastError() == ERROR_IO_PENDING && wait(fromPrinter_, overlapped, written));
    CloseHandle(overlapped.hEvent);
    if (!ok) return false;
  }
  return !printer_.lost();
}

void NamedPipePrinter::serve() {
  while (WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
    if (connect()) {
      printer_.connect();
      bool open = flush();
      if (input_ == PrinterInput::stopsReading) {
        // Connected, and never reads: the host's writes stay in the pipe until it is full.
        WaitForSingleObject(stop_, INFINITE);
        open = false;
      }
      char buffer[8192];
      while (open) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD got = 0;
        bool ok = ReadFile(toPrinter_, buffer, sizeof buffer, &got, &overlapped) ||
                  (GetLastError() == ERROR_IO_PENDING && wait(toPrinter_, overlapped, got));
        CloseHandle(overlapped.hEvent);
        // A failed read: the host closed its pipes, or the test is over.
        open = ok && got > 0 && printer_.receive(reinterpret_cast<const std::uint8_t*>(buffer), got) && flush();
      }
    }
    DisconnectNamedPipe(fromPrinter_);
    DisconnectNamedPipe(toPrinter_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sessionsEnded_ = sessionsStarted_;
    }
  }
}

}  // namespace kestrava::testing
