// kestrava-window-probe: reads a running program's window the way the window system
// shows it, for the desktop smoke tests: scripts/windows-smoke clicks with xdotool and
// reads with this; the 32-bit smoke test in the wine32 guest, which has no X server to
// click on, clicks with this too.
//
//   kestrava-window-probe wait TITLE MS             a top-level window TITLE exists
//   kestrava-window-probe gone TITLE MS             no window TITLE exists any more
//   kestrava-window-probe text TITLE ID             prints the text of control ID
//   kestrava-window-probe wait-text TITLE ID TEXT MS  control ID shows TEXT
//   kestrava-window-probe wait-enabled TITLE ID MS     control ID is enabled
//   kestrava-window-probe center TITLE ID           prints the control's centre "X Y"
//                                                    in screen coordinates
//   kestrava-window-probe click TITLE ID            clicks button ID, as the mouse would:
//                                                    only a visible, enabled button
//   kestrava-window-probe can-make-window           a top-level window can be made (wine's
//                                                    desktop works)
// Exit status 0 when the condition holds (within MS milliseconds), 1 when it does not,
// 64 for a usage error.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring widen(const char* text) {
  int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(units > 0 ? units : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), units);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string narrow(const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(bytes > 0 ? bytes : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::wstring textOf(HWND window) {
  wchar_t buffer[8192] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
  return buffer;
}

HWND find(const std::wstring& title) { return FindWindowW(nullptr, title.c_str()); }

bool until(int limitMs, const auto& holds) {
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (holds()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "can-make-window") {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) return 1;
    DestroyWindow(window);
    return 0;
  }
  if (argc < 3) return 64;
  std::string command = argv[1];
  std::wstring title = widen(argv[2]);

  if (command == "wait" && argc == 4) return until(std::atoi(argv[3]), [&] { return find(title) != nullptr; }) ? 0 : 1;
  if (command == "gone" && argc == 4) return until(std::atoi(argv[3]), [&] { return find(title) == nullptr; }) ? 0 : 1;

  if (argc < 4) return 64;
  int id = std::atoi(argv[3]);
  auto control = [&]() -> HWND {
    HWND window = find(title);
    return window ? GetDlgItem(window, id) : nullptr;
  };
  if (command == "text" && argc == 4) {
    HWND target = control();
    if (!target) return 1;
    std::printf("%s\n", narrow(textOf(target)).c_str());
    return 0;
  }
  if (command == "wait-text" && argc == 6) {
    std::wstring expected = widen(argv[4]);
    std::wstring last;
    bool shown = until(std::atoi(argv[5]), [&] {
      HWND target = control();
      last = target ? textOf(target) : L"";
      return target && last == expected;
    });
    if (!shown) std::fprintf(stderr, "control %d shows \"%s\"\n", id, narrow(last).c_str());
    return shown ? 0 : 1;
  }
  if (command == "wait-enabled" && argc == 5) {
    bool enabled = until(std::atoi(argv[4]), [&] {
      HWND target = control();
      return target && IsWindowEnabled(target);
    });
    if (!enabled) std::fprintf(stderr, "control %d is not enabled\n", id);
    return enabled ? 0 : 1;
  }
  if (command == "center" && argc == 4) {
    HWND target = control();
    RECT bounds;
    if (!target || !GetWindowRect(target, &bounds)) return 1;
    std::printf("%ld %ld\n", (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    return 0;
  }
  if (command == "click" && argc == 4) {
    HWND target = control();
    if (!target) return 1;
    if (!IsWindowVisible(target) || !IsWindowEnabled(target)) {
      std::fprintf(stderr, "control %d is hidden or greyed\n", id);
      return 1;
    }
    // The button presses and lets go in its own thread, then tells its window "clicked",
    // exactly as for a mouse click; the answer comes once that has been handled.
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(target, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored) ? 0 : 1;
  }
  return 64;
}
