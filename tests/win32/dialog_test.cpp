// The Windows dialog as a user meets it: run modally on the test's thread while a second
// thread clicks, types and reads through the window system, and runs made against the
// virtual printer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "run/acquisition_thread.h"
#include "run/item_phase.h"
#include "app/win32/kestrava_dlg.h"
#include "base/text_codec.h"
#include "base/version.h"
#include "fake_interfaces.h"
#include "link/usb_printer_link.h"
#include "link/win32_backend.h"
#include "named_pipe_printer.h"
#include "recording_dialog.h"
#include "res/resource.h"
#include "test_support.h"
#include "virtual/virtual_backend.h"

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Posted by the user thread after its input; handled once everything before it was.
constexpr UINT kPingMessage = WM_APP + 50;
// Sent by the user thread: the dialog's handler throws.
constexpr UINT kThrowMessage = WM_APP + 51;

// How long the user waits for anything the dialog or a run should do: far longer than it
// takes on a busy machine, so that only a dialog that never gets there fails.
constexpr auto kWaitLimit = 30s;

// What reached the dialog, kept outside it so that it can be read after the dialog is gone.
struct DialogLog {
  std::mutex mutex;
  std::vector<std::string> lines;  // "status TEXT", "enable getData 0", ...
  void add(std::string line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(std::move(line));
  }
  std::vector<std::string> snapshot() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
};

class TestDialog : public CKestravaDlg {
 public:
  TestDialog(BackendFactory factory, DialogLog& log) : CKestravaDlg(nullptr, std::move(factory)), log_(log) {}

  std::atomic<HWND> window{nullptr};
  HANDLE pinged = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~TestDialog() override { CloseHandle(pinged); }

  void UpdateData(bool saveAndValidate) override {
    CKestravaDlg::UpdateData(saveAndValidate);
    if (!saveAndValidate && m_status != lastStatus_) {
      lastStatus_ = m_status;
      log_.add("status " + toUtf8(m_status));
    }
  }
  void EnableWindow(DialogButton button, bool enable) override {
    CKestravaDlg::EnableWindow(button, enable);
    log_.add(std::string("enable ") + (button == DialogButton::getData ? "getData " : "close ") + (enable ? "1" : "0"));
  }

 protected:
  BOOL OnInitDialog() override {
    BOOL focusFirst = CKestravaDlg::OnInitDialog();
    window = m_hWnd;
    return focusFirst;
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == kPingMessage) {
      SetEvent(pinged);
      return true;
    }
    if (message == kThrowMessage) throw std::runtime_error("thrown by a test");
    return CKestravaDlg::OnMessage(message, wParam, lParam, result);
  }

 private:
  DialogLog& log_;
  std::u16string lastStatus_;
};

// The user's side: everything goes through the window system, from another thread.
class User {
 public:
  explicit User(TestDialog& dialog) : dialog_(dialog) {}

  // The dialog's window, once it is on the screen (created, initialised and shown).
  HWND window() {
    if (!shown_) shown_ = waitFor([this] { return dialog_.window && IsWindowVisible(dialog_.window); });
    return dialog_.window;
  }
  HWND control(int id) { return GetDlgItem(window(), id); }

  std::u16string text(HWND target) {
    wchar_t buffer[4096] = {};
    SendMessageW(target, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer));
    return std::u16string(buffer, buffer + wcslen(buffer));
  }
  std::u16string text(int id) { return text(control(id)); }

  bool waitForText(int id, const std::u16string& expected) {
    return waitFor([&] { return text(id) == expected; });
  }

  // Waits until the run has given both buttons back: only then does the dialog count as
  // idle, and only then does a press of "Get data" start the next run. (The run shows its
  // last status before it gives the buttons back, each through a message of its own.)
  bool waitForButtons() {
    return waitFor([&] { return IsWindowEnabled(control(IDC_GET_DATA)) && IsWindowEnabled(control(IDOK)); });
  }

  bool waitFor(const std::function<bool()>& condition) {
    Clock::time_point end = Clock::now() + kWaitLimit;
    while (!condition()) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  void click(int id) { PostMessageW(control(id), BM_CLICK, 0, 0); }
  void command(int id) { PostMessageW(window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  void keyDown(HWND target, WPARAM key) { PostMessageW(target, WM_KEYDOWN, key, 0); }

  // Waits until the dialog has handled everything posted before.
  bool settle() {
    PostMessageW(window(), kPingMessage, 0, 0);
    DWORD limit = static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(kWaitLimit).count());
    return WaitForSingleObject(dialog_.pinged, limit) == WAIT_OBJECT_0;
  }

  HWND focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window(), nullptr), &info);
    return info.hwndFocus;
  }

 private:
  TestDialog& dialog_;
  bool shown_ = false;
};

// Each run on a Windows back end that lists the printer at `path` alone, and whose
// transfer in flight the dialog cancels when it closes.
CKestravaDlg::BackendFactory interruptiblePrinterAt(const std::u16string& path) {
  return [path] { return std::make_unique<Win32Backend>(testing::fakeInterfaces({{path}})); };
}

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }

  // Runs the dialog modally here while `user` acts from another thread; returns what
  // DoModal returned. The dialog is destroyed before this returns.
  INT_PTR run(CKestravaDlg::BackendFactory factory, const std::function<void(User&)>& user) {
    INT_PTR result = 0;
    Clock::time_point destroyStart;
    {
      TestDialog dialog(std::move(factory), log);
      std::thread person([&] {
        User acting(dialog);
        user(acting);
        // A user whose checks failed half-way still leaves: the dialog must end.
        HWND window = dialog.window;
        Clock::time_point end = Clock::now() + 10s;
        while (window && IsWindow(window) && Clock::now() < end) std::this_thread::sleep_for(5ms);
        if (window && IsWindow(window)) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      });
      result = dialog.DoModal();
      closedAt = log.snapshot().size();
      person.join();
      destroyStart = Clock::now();
    }
    destroyTime = Clock::now() - destroyStart;
    return result;
  }

  static CKestravaDlg::BackendFactory virtualPrinter(virtualprinter::Scenario scenario) {
    return [scenario] { return std::make_unique<VirtualBackend>(scenario); };
  }
  static CKestravaDlg::BackendFactory noPrinter() {
    return [] { return std::make_unique<Win32Backend>(testing::fakeInterfaces({})); };
  }

  DialogLog log;
  std::size_t closedAt = 0;  // lines in the log when DoModal returned
  Clock::duration destroyTime{};
};

std::u16string u16(const char* text) { return fromUtf8(text); }

TEST_F(Dialog, OpensReadyWithTitleIconsAndFocusInTheReport) {
  INT_PTR result = run(noPrinter(), [](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(user.text(window), u"Kestrava " KESTRAVA_TITLE_VERSION_TEXT);
    for (int id : {IDC_MODEL, IDC_BUILD, IDC_FW_VERSION, IDC_SERIAL_NUMBER, IDC_REPORT}) EXPECT_EQ(user.text(id), u"");
    EXPECT_EQ(user.text(IDC_STATUS), u"Ready.");
    EXPECT_TRUE(IsWindowEnabled(user.control(IDC_GET_DATA)));
    EXPECT_TRUE(IsWindowEnabled(user.control(IDOK)));
    // The dialog manager puts the focus on the first control as the window comes up.
    EXPECT_TRUE(user.waitFor([&user] { return user.focus() == user.control(IDC_REPORT); }));

    HICON big = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    HICON small = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    EXPECT_NE(big, nullptr);
    EXPECT_EQ(big, small);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0)), big);

    // Minimizable, but neither maximizable nor resizable; on the taskbar.
    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    user.click(IDOK);
  });
  EXPECT_EQ(result, IDOK);
}

TEST_F(Dialog, TemplateControlsAndTabOrder) {
  struct Control {
    int id;
    const char* windowClass;
    const char* text;
    RECT units;  // x, y, x + w, y + h in dialog units
    LONG styles;
  };
  constexpr LONG kValueStyles = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  constexpr LONG kBoxStyles = WS_BORDER | WS_DISABLED;
  const Control controls[] = {
      {IDC_REPORT, "Edit", "", {4, 51, 381, 152}, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_TABSTOP},
      {IDC_GET_DATA, "Button", "Get data", {276, 154, 326, 168}, WS_TABSTOP},
      {IDOK, "Button", "Close", {331, 154, 381, 168}, WS_TABSTOP},
      {IDC_MODEL_LABEL_BOX, "Edit", "", {4, 4, 59, 16}, kBoxStyles},
      {IDC_BUILD_LABEL_BOX, "Edit", "", {4, 15, 59, 27}, kBoxStyles},
      {IDC_FW_VERSION_LABEL_BOX, "Edit", "", {4, 26, 59, 38}, kBoxStyles},
      {IDC_SERIAL_NUMBER_LABEL_BOX, "Edit", "", {4, 37, 59, 49}, kBoxStyles},
      {IDC_MODEL_BOX, "Edit", "", {58, 4, 381, 16}, kBoxStyles},
      {IDC_BUILD_BOX, "Edit", "", {58, 15, 381, 27}, kBoxStyles},
      {IDC_FW_VERSION_BOX, "Edit", "", {58, 26, 381, 38}, kBoxStyles},
      {IDC_SERIAL_NUMBER_BOX, "Edit", "", {58, 37, 381, 49}, kBoxStyles},
      {IDC_MODEL_LABEL, "Static", "Model", {6, 6, 57, 14}, kValueStyles},
      {IDC_BUILD_LABEL, "Static", "Build", {6, 17, 57, 25}, kValueStyles},
      {IDC_FW_VERSION_LABEL, "Static", "FW version", {6, 28, 57, 36}, kValueStyles},
      {IDC_SERIAL_NUMBER_LABEL, "Static", "Serial number", {6, 39, 57, 47}, kValueStyles},
      {IDC_MODEL, "Static", "", {60, 6, 379, 14}, kValueStyles},
      {IDC_BUILD, "Static", "", {60, 17, 379, 25}, kValueStyles},
      {IDC_FW_VERSION, "Static", "", {60, 28, 379, 36}, kValueStyles},
      {IDC_SERIAL_NUMBER, "Static", "", {60, 39, 379, 47}, kValueStyles},
      {IDC_FAILURE_HINT, "Edit", "", {4, 154, 272, 170}, ES_MULTILINE | ES_READONLY | WS_VSCROLL},
  };
  run(noPrinter(), [&](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    int count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++count;
    EXPECT_EQ(count, 21);
    // The hint is there only when a run has advice.
    EXPECT_FALSE(IsWindowVisible(user.control(IDC_FAILURE_HINT)));
    for (const Control& c : controls) {
      SCOPED_TRACE(c.id);
      HWND control = user.control(c.id);
      ASSERT_NE(control, nullptr);
      wchar_t name[64] = {};
      GetClassNameW(control, name, 64);
      EXPECT_EQ(_wcsicmp(name, std::wstring(c.windowClass, c.windowClass + strlen(c.windowClass)).c_str()), 0);
      EXPECT_EQ(user.text(control), u16(c.text));
      // The dialog manager converts position and size separately.
      RECT expected = {c.units.left, c.units.top, c.units.right - c.units.left, c.units.bottom - c.units.top};
      MapDialogRect(window, &expected);
      RECT actual;
      GetWindowRect(control, &actual);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
      EXPECT_EQ(actual.left, expected.left);
      EXPECT_EQ(actual.top, expected.top);
      EXPECT_EQ(actual.right - actual.left, expected.right);
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
      LONG style = GetWindowLongW(control, GWL_STYLE);
      // A dialog draws an edit control's border as a sunken client edge.
      if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) style |= WS_BORDER;
      EXPECT_EQ(style & c.styles, c.styles);
      EXPECT_EQ((style & WS_TABSTOP) != 0, (c.styles & WS_TABSTOP) != 0);
      if (c.id == IDC_FAILURE_HINT) continue;  // no tab stop wanted; no further checks
      if (c.id == IDC_REPORT) {
        EXPECT_EQ(style & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL), 0);
      }
      if (c.id == IDC_GET_DATA || c.id == IDOK) {
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
      }
    }
    // The status bar, one part without a size grip, along the bottom at full width.
    HWND status = user.control(IDC_STATUS);
    wchar_t name[64] = {};
    GetClassNameW(status, name, 64);
    EXPECT_EQ(_wcsicmp(name, STATUSCLASSNAMEW), 0);
    EXPECT_FALSE(GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    EXPECT_EQ(SendMessageW(status, SB_GETPARTS, 0, 0), 1);
    RECT client, bar;
    GetClientRect(window, &client);
    GetWindowRect(status, &bar);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(bar.right - bar.left, client.right - client.left);

    // Tab order: report, Get data, Close, and round again.
    HWND report = user.control(IDC_REPORT);
    HWND next = GetNextDlgTabItem(window, report, FALSE);
    EXPECT_EQ(next, user.control(IDC_GET_DATA));
    next = GetNextDlgTabItem(window, next, FALSE);
    EXPECT_EQ(next, user.control(IDOK));
    EXPECT_EQ(GetNextDlgTabItem(window, next, FALSE), report);
    user.click(IDOK);
  });
}

TEST_F(Dialog, EnterAndEscapeDoNothing) {
  INT_PTR result = run(noPrinter(), [](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    for (int id : {IDC_REPORT, IDC_GET_DATA, IDOK}) {
      user.keyDown(user.control(id), VK_RETURN);
      user.keyDown(user.control(id), VK_ESCAPE);
    }
    ASSERT_TRUE(user.settle());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(user.text(IDC_STATUS), u"Ready.");  // Enter pressed no button
    // The close box still closes it.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(Dialog, RunShowsWhatTheRunFoundAndGivesTheButtonsBack) {
  virtualprinter::Scenario scenario = virtualprinter::healthyMonoPrinter();
  // The same run on a dialog of the test's own says what the fields must show.
  testing::RecordingDialog expected;
  VirtualBackend reference(scenario);
  AcquisitionThread(expected, reference);
  ASSERT_EQ(expected.m_status, u"done");

  std::u16string model, build, firmware, serial, report;
  run(virtualPrinter(scenario), [&](User& user) {
    ASSERT_NE(user.window(), nullptr);
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"done"));
    ASSERT_TRUE(user.waitForButtons());
    model = user.text(IDC_MODEL);
    build = user.text(IDC_BUILD);
    firmware = user.text(IDC_FW_VERSION);
    serial = user.text(IDC_SERIAL_NUMBER);
    report = user.text(IDC_REPORT);
    user.click(IDOK);
  });
  EXPECT_EQ(model, expected.m_model);
  EXPECT_EQ(build, expected.m_build);
  EXPECT_EQ(firmware, expected.m_fwVersion);
  EXPECT_EQ(serial, expected.m_serialNumber);
  EXPECT_EQ(report, expected.m_report);
  std::u16string programId = kProgramIdLine;
  ASSERT_GE(report.size(), programId.size());
  EXPECT_EQ(report.substr(report.size() - programId.size()), programId);

  // Buttons grey from the click to the end of the run, the busy status in between.
  std::vector<std::string> lines = log.snapshot();
  std::vector<std::string> expectedStart = {"status Ready.", "enable getData 0", "enable close 0"};
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), expectedStart);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "status acquiring data..."), lines.end());
  std::vector<std::string> expectedEnd = {"status done", "enable getData 1", "enable close 1"};
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), expectedEnd);
}

TEST_F(Dialog, NoPrinterAfterARunEmptiesTheFields) {
  int made = 0;
  CKestravaDlg::BackendFactory first = virtualPrinter(virtualprinter::healthyMonoPrinter());
  CKestravaDlg::BackendFactory factory = [&made, first] {
    if (++made == 1) return first();
    return std::unique_ptr<UsbBackend>(std::make_unique<Win32Backend>(testing::fakeInterfaces({})));
  };
  run(factory, [](User& user) {
    ASSERT_NE(user.window(), nullptr);
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"done"));
    ASSERT_TRUE(user.waitForButtons());
    EXPECT_NE(user.text(IDC_REPORT), u"");
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"printer not found"));
    ASSERT_TRUE(user.waitForButtons());
    for (int id : {IDC_MODEL, IDC_BUILD, IDC_FW_VERSION, IDC_SERIAL_NUMBER, IDC_REPORT}) EXPECT_EQ(user.text(id), u"");
    user.click(IDOK);
  });
  EXPECT_EQ(made, 2);
}

TEST_F(Dialog, ClosingDuringARunEndsAtOnceAndNothingReachesTheClosedDialog) {
  virtualprinter::Scenario mute = testing::emptyScenario();
  mute.faults.push_back(virtualprinter::makeFault(virtualprinter::FaultKind::noReply));
  testing::NamedPipePrinter printer(mute, "vid_232b&pid_0ef5");
  std::u16string path = printer.devicePath();
  CKestravaDlg::BackendFactory factory = interruptiblePrinterAt(path);
  INT_PTR result = run(factory, [&printer](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    user.click(IDC_GET_DATA);
    // The run now waits for an answer that will not come, up to 5000 ms per read.
    ASSERT_TRUE(user.waitFor([&printer] { return printer.printer().requestCount() != 0; }));
    ASSERT_EQ(printer.printer().requestCount(), 1u);
    EXPECT_FALSE(IsWindowEnabled(user.control(IDOK)));
    // The close box works while "Close" is grey.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
  // Waiting out the pending read would take the rest of its 5000 ms.
  EXPECT_LT(destroyTime, 2500ms);
  EXPECT_EQ(log.snapshot().size(), closedAt);
  // The run closed the printer's pipes on its way out.
  EXPECT_TRUE(printer.waitUntilClosed(1, 30000));
}

TEST_F(Dialog, ClosingWhileAWriteWaitsForAPrinterThatStoppedReadingEndsTheProcessPromptly) {
  testing::NamedPipePrinter printer(testing::emptyScenario(), "vid_232b&pid_0ef5", testing::PrinterInput::stopsReading);
  std::u16string path = printer.devicePath();
  CKestravaDlg::BackendFactory factory = interruptiblePrinterAt(path);
  INT_PTR result = run(factory, [&printer](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    user.click(IDC_GET_DATA);
    // The run's first write now waits: the printer's pipe is full and nobody reads it.
    ASSERT_TRUE(printer.waitForBytesWaiting(30000));
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
  // The write would otherwise wait for ever, and the process with it.
  EXPECT_LT(destroyTime, 2500ms);
  EXPECT_EQ(log.snapshot().size(), closedAt);
}

TEST_F(Dialog, ConnectFailedShowsTheBackEndsHintBesideTheStatusUntilTheNextRun) {
  testing::NamedPipePrinter printer(virtualprinter::healthyMonoPrinter(), "vid_232b&pid_0ef5");
  std::u16string path = printer.devicePath();
  auto holder = std::make_unique<Win32Backend>(testing::fakeInterfaces({{path}}));
  auto otherProgram = std::make_unique<UsbPrinterLink>(*holder);
  ASSERT_EQ(otherProgram->open(), LinkStatus::ok);
  CKestravaDlg::BackendFactory factory = interruptiblePrinterAt(path);
  run(factory, [&](User& user) {
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"connect to printer failed"));
    ASSERT_TRUE(user.waitFor([&user] { return IsWindowVisible(user.control(IDC_FAILURE_HINT)) != FALSE; }));
    std::u16string hint = user.text(IDC_FAILURE_HINT);
    EXPECT_EQ(hint.rfind(u"The printer is in use by another program", 0), 0u) << toUtf8(hint);
    EXPECT_NE(hint.find(u"Windows error 231"), std::u16string::npos) << toUtf8(hint);
    EXPECT_EQ(hint.back(), u'.');
    ASSERT_TRUE(user.waitForButtons());

    // The other program lets go: the next run reads the printer and the hint is gone.
    otherProgram.reset();
    ASSERT_TRUE(printer.waitUntilClosed(1, 30000));
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"done"));
    ASSERT_TRUE(user.waitForButtons());
    EXPECT_FALSE(IsWindowVisible(user.control(IDC_FAILURE_HINT)));
    EXPECT_EQ(user.text(IDC_FAILURE_HINT), u"");
    user.click(IDOK);
  });
}

// A back end whose listing throws: the exception must end the run, not the program.
class ThrowingBackend : public UsbBackend {
 public:
  std::vector<std::u16string> interfacePaths() override { throw std::runtime_error("listing broke"); }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string&, PipeEnd) override { return nullptr; }
};

TEST_F(Dialog, AnExceptionInTheRunEndsTheRunAndTheDialogGoesOn) {
  CKestravaDlg::BackendFactory factory = [] { return std::make_unique<ThrowingBackend>(); };
  run(factory, [&](User& user) {
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitFor([&user] { return IsWindowVisible(user.control(IDC_FAILURE_HINT)) != FALSE; }));
    ASSERT_TRUE(user.waitForButtons());
    EXPECT_NE(user.text(IDC_FAILURE_HINT).find(u"internal error (listing broke)"), std::u16string::npos);
    EXPECT_EQ(user.text(IDC_STATUS), u"Ready.");
    user.click(IDOK);
  });
}

TEST_F(Dialog, AnExceptionInAMessageHandlerIsShownAndTheDialogGoesOn) {
  INT_PTR result = run(noPrinter(), [&](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, kThrowMessage, 0, 0);
    ASSERT_TRUE(user.waitFor([&user] { return IsWindowVisible(user.control(IDC_FAILURE_HINT)) != FALSE; }));
    EXPECT_NE(user.text(IDC_FAILURE_HINT).find(u"internal error (thrown by a test)"), std::u16string::npos);
    // Still answering: a run goes as before.
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"printer not found"));
    ASSERT_TRUE(user.waitForButtons());
    user.click(IDOK);
  });
  EXPECT_EQ(result, IDOK);
}

TEST_F(Dialog, TheStatusBarFollowsANewScaleAlongTheBottomEdge) {
  run(noPrinter(), [&](User& user) {
    HWND window = user.window();
    ASSERT_NE(window, nullptr);
    RECT before;
    GetWindowRect(window, &before);
    // The system suggests a larger window for a monitor of a larger scale.
    RECT suggested = {before.left, before.top, before.left + (before.right - before.left) * 3 / 2,
                      before.top + (before.bottom - before.top) * 3 / 2};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT after, client, bar;
    GetWindowRect(window, &after);
    EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
    EXPECT_EQ(after.bottom - after.top, suggested.bottom - suggested.top);
    GetClientRect(window, &client);
    HWND status = user.control(IDC_STATUS);
    GetWindowRect(status, &bar);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(bar.right - bar.left, client.right - client.left);
    user.click(IDOK);
  });
}

// No printer, and a printer of the vendor on another driver.
class OtherDriverBackend : public Win32Backend {
 public:
  OtherDriverBackend() : Win32Backend(testing::fakeInterfaces({})) {}
  std::string notFoundHint() const override { return "a printer of vendor 0x232B (A) is attached but driven by \"x\""; }
};

TEST_F(Dialog, PrinterNotFoundShowsWhatElseIsAttached) {
  CKestravaDlg::BackendFactory factory = [] { return std::make_unique<OtherDriverBackend>(); };
  run(factory, [&](User& user) {
    user.click(IDC_GET_DATA);
    ASSERT_TRUE(user.waitForText(IDC_STATUS, u"printer not found"));
    ASSERT_TRUE(user.waitFor([&user] { return IsWindowVisible(user.control(IDC_FAILURE_HINT)) != FALSE; }));
    EXPECT_EQ(user.text(IDC_FAILURE_HINT), u"A printer of vendor 0x232B (A) is attached but driven by \"x\".");
    ASSERT_TRUE(user.waitForButtons());
    user.click(IDOK);
  });
}

}  // namespace
}  // namespace kestrava
