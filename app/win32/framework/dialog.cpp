#include "app/win32/framework/dialog.h"

#include <exception>

#include "app/win32/framework/win_app.h"
#include "base/text_codec.h"

namespace kestrava::ui {

namespace {

std::u16string windowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return fromWide(text);
}

}  // namespace

void CWnd::SetWindowText(const std::u16string& text) { ::SetWindowTextW(m_hWnd, toWide(text).c_str()); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

void DDX_Text(CDataExchange* exchange, int id, std::u16string& value) {
  HWND control = GetDlgItem(exchange->m_hDialog, id);
  if (!control) return;
  if (exchange->m_bSaveAndValidate) {
    value = windowText(control);
    return;
  }
  // A field holds text up to its first NUL, as a control would.
  std::u16string shown(untilNul(value));
  if (windowText(control) != shown) ::SetWindowTextW(control, toWide(shown).c_str());
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent ? parent->m_hWnd : nullptr) {}

CDialog::~CDialog() {
  if (m_hWnd) DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  ending_ = false;
  result_ = -1;
  HWND window = CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId_), parent_, DialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
  if (!window) return -1;
  if (parent_) EnableWindow(parent_, FALSE);
  ShowWindow(window, SW_SHOW);

  MSG message;
  while (!ending_) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      // WM_QUIT belongs to whatever loop runs outside the dialog.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!PreTranslateMessage(&message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  if (parent_) EnableWindow(parent_, TRUE);
  if (m_hWnd) DestroyWindow(m_hWnd);
  return result_;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  if (!m_hWnd) return FALSE;
  CDataExchange exchange(m_hWnd, saveAndValidate != FALSE);
  DoDataExchange(&exchange);
  return TRUE;
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ending_ = true;
  // Wakes the modal loop if it is waiting for a message.
  PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* message) { return m_hWnd && IsDialogMessageW(m_hWnd, message); }

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  switch (LOWORD(wParam)) {
    case IDOK: OnOK(); break;
    case IDCANCEL:  // also the close box, the system menu's Close and Alt+F4
      OnCancel();
      break;
    default: return false;
  }
  result = 0;
  return true;
}

void CDialog::OnEscapedException(const char*) {}

INT_PTR CALLBACK CDialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind through the system's code that called this procedure.
  try {
    return HandleMessage(window, message, wParam, lParam);
  } catch (const std::exception& error) {
    if (auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER))) {
      dialog->OnEscapedException(error.what());
    }
  } catch (...) {
    if (auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER))) {
      dialog->OnEscapedException("an exception of unknown type");
    }
  }
  return FALSE;
}

INT_PTR CDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->m_hWnd = nullptr;
    return FALSE;
  }
  LRESULT result = 0;
  if (!dialog->OnMessage(message, wParam, lParam, result)) return FALSE;
  switch (message) {
    // These answer through the procedure's own return value.
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG: return static_cast<INT_PTR>(result);
    default: SetWindowLongPtrW(window, DWLP_MSGRESULT, result); return TRUE;
  }
}

}  // namespace kestrava::ui
