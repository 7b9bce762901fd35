// Windows and modal dialogs of the framework: a dialog built from a template, run by a
// message loop of its own that lets the dialog see every message before it is
// dispatched, with its fields bound to controls for transfers both ways.
#pragma once

#include <windows.h>

#include <string>

namespace kestrava::ui {

class CWnd {
 public:
  virtual ~CWnd() = default;

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void SetWindowText(const std::u16string& text);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  HWND m_hWnd = nullptr;
};

// The direction and the dialog of one transfer between fields and controls.
class CDataExchange {
 public:
  CDataExchange(HWND dialog, bool saveAndValidate) : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
  HWND m_hDialog;
  bool m_bSaveAndValidate;  // true: controls to fields; false: fields to controls
};

// Binds `value` to the text of control `id`. Towards the control the text is only set
// when it differs, so an unchanged control neither flickers nor loses its selection.
void DDX_Text(CDataExchange* exchange, int id, std::u16string& value);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the dialog, runs it until EndDialog and destroys it. Returns the value given
  // to EndDialog, or -1 when the dialog cannot be created.
  virtual INT_PTR DoModal();

  // Transfers all bound fields: TRUE from the controls, FALSE to the controls.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  void EndDialog(int result);

 protected:
  // Runs the first transfer to the controls; TRUE puts the focus on the first tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* exchange);

  // Sees each message of the modal loop before it is dispatched; TRUE means it has been
  // dealt with. The base lets the dialog manager handle keyboard navigation.
  virtual BOOL PreTranslateMessage(MSG* message);

  virtual void OnOK();      // controls to fields, then end with IDOK
  virtual void OnCancel();  // end with IDCANCEL

  // The dialog's message map: true when the message has been handled, with its result
  // in `result`. The base handles IDOK and IDCANCEL.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // An exception that would have left the dialog procedure (an exception cannot cross a
  // Windows frame: in the 32-bit build it would end the program). The message counts as
  // not handled.
  virtual void OnEscapedException(const char* what);

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  HWND parent_;
  bool ending_ = false;
  INT_PTR result_ = 0;
};

// Background and colours of a dialog: nothing beyond the system's own in this framework.
class CDialogEx : public CDialog {
 public:
  using CDialog::CDialog;
};

}  // namespace kestrava::ui
