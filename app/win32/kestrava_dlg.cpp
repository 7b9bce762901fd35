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

}  // namespace

RunBackend makeUsbRunBackend() {
  auto backend = std::make_shared<Win32Backend>();
  return RunBackend{backend, [backend] { backend->interrupt(); },
                    [] { return otherDriverHint(vendorDevicesOnOtherDrivers()); }};
}

CKestravaDlg::CKestravaDlg(ui::CWnd* parent, BackendFactory backendFactory)
    : CDialogEx(IDD_KESTRAVA_DIALOG, parent),
      m_icon(LoadIconW(ui::AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      backendFactory_(std::move(backendFactory)) {}

CKestravaDlg::~CKestravaDlg() {
  // Before the window goes: a worker blocked in SendMessage is still answered.
  run_.reset();
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
    case kRunTransferMessage:
    case kRunButtonMessage:
    case kRunEndedMessage:
      // Only the current run's messages count.
      if (run_ && wParam == run_->number()) {
        if (message == kRunTransferMessage) {
          OnRunTransfer(*reinterpret_cast<const RunView*>(lParam));
        } else if (message == kRunButtonMessage) {
          OnRunButton(lParam);
        } else {
          OnRunEnded();
        }
      }
      result = 0;
      return true;
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

void CKestravaDlg::OnGetData() {
  // One run at a time: the buttons go grey before the worker exists, so neither a
  // second click nor Close can slip in before the run's own first step.
  if (runActive_) return;
  if (run_) {
    // The last run gave the buttons back and has nothing left but freeing its device.
    run_->wait();
    run_.reset();
  }
  EnableWindow(DialogButton::getData, false);
  EnableWindow(DialogButton::close, false);
  ShowFailureHint({});
  run_ = std::make_unique<DialogRun>(m_hWnd, ++runsStarted_, *this, backendFactory_());
  runActive_ = run_->started();
  if (!runActive_) {
    run_.reset();
    EnableWindow(DialogButton::getData, true);
    EnableWindow(DialogButton::close, true);
  }
}

void CKestravaDlg::OnRunButton(LPARAM param) {
  DialogButton button;
  bool enable;
  RunView::fromButtonMessageParam(param, button, enable);
  EnableWindow(button, enable);
  // The run's last step for the dialog gives "Close" back: from then on it is idle.
  if (button == DialogButton::close && enable) runActive_ = false;
}

void CKestravaDlg::OnRunTransfer(const RunView& view) {
  // The worker waits in SendMessage while its fields are copied.
  m_model = view.m_model;
  m_build = view.m_build;
  m_fwVersion = view.m_fwVersion;
  m_serialNumber = view.m_serialNumber;
  m_report = view.m_report;
  m_status = view.m_status;
  UpdateData(false);
}

void CKestravaDlg::OnRunEnded() {
  // Posted as the worker's last act: the wait is over at once.
  run_->wait();
  ShowFailureHint(run_->hint());
  run_.reset();
  runActive_ = false;
}

}  // namespace kestrava
