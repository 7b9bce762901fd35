#include "app/win32/kestrava_dlg.h"

#include <cwchar>

// Older Windows headers lack it; the message is the same on every Windows since 8.1.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

#include "app/win32/framework/win_app.h"
#include "res/resource.h"
#include "base/text_codec.h"
#include "base/version.h"
#include "link/win32_backend.h"

namespace kestrava {

namespace {

constexpr const wchar_t* kProgramName = L"Kestrava";

// After a run: why the printer's pipes would not open, or what else of the vendor is
// attached when no printer was found.
std::string runHint(RunOutcome outcome, const RunRecord&, const UsbBackend& backend) {
  if (outcome == RunOutcome::connectFailed) return backend.openFailureHint();
  if (outcome == RunOutcome::printerNotFound) return backend.notFoundHint();
  return {};
}

// A run's worker on a thread of the C run-time, joined by the session.
class Win32RunThread : public RunThread {
 public:
  explicit Win32RunThread(std::function<void()> work) : work_(std::move(work)) {}
  ~Win32RunThread() override {
    if (handle_) CloseHandle(handle_);
  }
  Win32RunThread(const Win32RunThread&) = delete;
  Win32RunThread& operator=(const Win32RunThread&) = delete;

  static std::unique_ptr<RunThread> start(std::function<void()> work) {
    auto thread = std::make_unique<Win32RunThread>(std::move(work));
    thread->handle_ = ui::AfxBeginThread(&Win32RunThread::entry, thread.get());
    if (!thread->handle_) return nullptr;
    return thread;
  }

  void join() override { ui::AfxWaitAnsweringSentMessages(handle_); }

 private:
  static unsigned entry(void* thread) {
    static_cast<Win32RunThread*>(thread)->work_();
    return 0;
  }

  std::function<void()> work_;
  HANDLE handle_ = nullptr;
};

}  // namespace

std::unique_ptr<UsbBackend> makeUsbBackend() { return std::make_unique<Win32Backend>(); }

CKestravaDlg::CKestravaDlg(ui::CWnd* parent, BackendFactory backendFactory)
    : CDialogEx(IDD_KESTRAVA_DIALOG, parent),
      m_icon(LoadIconW(ui::AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      session_(*this, runSeams(), std::move(backendFactory), runHint) {}

CKestravaDlg::~CKestravaDlg() {
  // Before the window goes: nothing of the run reaches it afterwards.
  session_.stop();
  std::lock_guard<std::mutex> lock(handOverMutex_);
  handOverWindow_ = nullptr;
  handOvers_.clear();
}

RunSessionSeams CKestravaDlg::runSeams() {
  return {&Win32RunThread::start, [this](std::function<void()> action) { handOver(std::move(action)); }};
}

void CKestravaDlg::handOver(std::function<void()> action) {
  std::lock_guard<std::mutex> lock(handOverMutex_);
  if (!handOverWindow_) return;
  handOvers_.push_back(std::move(action));
  PostMessageW(handOverWindow_, kRunHandOverMessage, 0, 0);
}

void CKestravaDlg::runHandOvers() {
  for (;;) {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> lock(handOverMutex_);
      if (handOvers_.empty()) return;
      action = std::move(handOvers_.front());
      handOvers_.pop_front();
    }
    action();
  }
}

void CKestravaDlg::UpdateData(bool saveAndValidate) { CDialogEx::UpdateData(saveAndValidate ? TRUE : FALSE); }

void CKestravaDlg::EnableWindow(DialogButton button, bool enable) {
  ::EnableWindow(button == DialogButton::getData ? m_getDataButton : m_closeButton, enable ? TRUE : FALSE);
}

void CKestravaDlg::DoDataExchange(ui::CDataExchange* exchange) {
  CDialogEx::DoDataExchange(exchange);
  ui::DDX_Text(exchange, IDC_MODEL, m_model);
  ui::DDX_Text(exchange, IDC_BUILD, m_build);
  ui::DDX_Text(exchange, IDC_FW_VERSION, m_fwVersion);
  ui::DDX_Text(exchange, IDC_SERIAL_NUMBER, m_serialNumber);
  ui::DDX_Text(exchange, IDC_STATUS, m_status);
  ui::DDX_Text(exchange, IDC_REPORT, m_report);
}

BOOL CKestravaDlg::PreTranslateMessage(MSG* message) {
  // Enter would press a button and Escape would close the dialog: neither is wanted.
  if (message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
    return TRUE;
  }
  return CDialogEx::PreTranslateMessage(message);
}

BOOL CKestravaDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  m_getDataButton = GetDlgItem(IDC_GET_DATA);
  m_closeButton = GetDlgItem(IDOK);
  m_failureHint = GetDlgItem(IDC_FAILURE_HINT);
  {
    std::lock_guard<std::mutex> lock(handOverMutex_);
    handOverWindow_ = m_hWnd;
  }

  wchar_t title[64];
  std::swprintf(title, sizeof title / sizeof title[0], L"%ls %ls", kProgramName, L"" KESTRAVA_TITLE_VERSION_TEXT);
  SetStatus(kReadyStatus);
  ::SetWindowTextW(m_hWnd, title);

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
  return TRUE;
}

bool CKestravaDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_PAINT: OnPaint(); return false;  // the dialog draws nothing of its own
    case WM_QUERYDRAGICON: result = reinterpret_cast<LRESULT>(OnQueryDragIcon()); return true;
    case WM_DPICHANGED: {
      // Per-monitor aware: the window takes the size the system suggests for the new
      // scale, and the status bar lays itself out again along the new bottom edge.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (suggested) {
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      }
      LayOutStatusBar();
      result = 0;
      return true;
    }
    case WM_SIZE: LayOutStatusBar(); return false;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_GET_DATA && HIWORD(wParam) == BN_CLICKED) {
        OnGetData();
        result = 0;
        return true;
      }
      break;
    case kRunHandOverMessage:
      runHandOvers();
      result = 0;
      return true;
    case WM_DESTROY: {
      // What a run hands over from now on goes nowhere.
      std::lock_guard<std::mutex> lock(handOverMutex_);
      handOverWindow_ = nullptr;
      handOvers_.clear();
      return false;
    }
    default: break;
  }
  return CDialogEx::OnMessage(message, wParam, lParam, result);
}

void CKestravaDlg::LayOutStatusBar() {
  // A status bar places itself along its parent's bottom edge when it is told of a size.
  if (HWND status = GetDlgItem(IDC_STATUS)) ::SendMessageW(status, WM_SIZE, 0, 0);
}

void CKestravaDlg::ShowFailureHint(const std::string& hint) {
  if (!m_failureHint) return;
  if (hint.empty()) {
    ::SetWindowTextW(m_failureHint, L"");
    ::ShowWindow(m_failureHint, SW_HIDE);
    return;
  }
  // The back end's hint is a phrase; in the window it is a sentence.
  std::u16string text = fromUtf8(hint);
  if (text[0] >= u'a' && text[0] <= u'z') text[0] = static_cast<char16_t>(text[0] - u'a' + u'A');
  if (text.back() != u'.') text += u'.';
  ::SetWindowTextW(m_failureHint, toWide(text).c_str());
  ::ShowWindow(m_failureHint, SW_SHOWNA);
}

void CKestravaDlg::OnEscapedException(const char* what) {
  try {
    ShowFailureHint(std::string("the window stopped on an internal error (") + what +
                    "); please report it, and start the program again if it no longer answers");
  } catch (...) {
    // Nothing more can be shown.
  }
}

void CKestravaDlg::OnPaint() {}

HICON CKestravaDlg::OnQueryDragIcon() { return m_icon; }

void CKestravaDlg::OnGetData() { session_.start(); }

}  // namespace kestrava
