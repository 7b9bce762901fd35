// The main and only window: four values, the report, the status bar, "Get data" and
// "Close".
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "run/acquisition_dialog.h"
#include "app/win32/dialog_run.h"
#include "app/win32/framework/dialog.h"

namespace kestrava {

// The back end of the printers attached by USB, a new one for every run; after "printer
// not found" it names a printer of the vendor that another driver than USB Printing
// Support drives.
RunBackend makeUsbRunBackend();

class CKestravaDlg : public ui::CDialogEx, public AcquisitionDialog {
 public:
  using BackendFactory = std::function<RunBackend()>;

  explicit CKestravaDlg(ui::CWnd* parent = nullptr, BackendFactory backendFactory = makeUsbRunBackend);
  // A run still going is interrupted and waited for: the program never ends under it.
  ~CKestravaDlg() override;

  // The six fields to the controls (false) or back (true).
  void UpdateData(bool saveAndValidate) override;
  void EnableWindow(DialogButton button, bool enable) override;

  // From "Get data" until the run gives the buttons back.
  bool running() const { return runActive_; }

  HICON m_icon;
  HWND m_getDataButton = nullptr;
  HWND m_closeButton = nullptr;
  HWND m_failureHint = nullptr;

 protected:
  void DoDataExchange(ui::CDataExchange* exchange) override;
  BOOL PreTranslateMessage(MSG* message) override;
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  void OnEscapedException(const char* what) override;

  // The advice of the last run beside the buttons, as a sentence; hidden when empty.
  void ShowFailureHint(const std::string& hint);

  void OnPaint();
  HICON OnQueryDragIcon();
  void OnGetData();

 private:
  void OnRunTransfer(const RunView& view);
  void OnRunButton(LPARAM param);
  void OnRunEnded();
  void LayOutStatusBar();

  BackendFactory backendFactory_;
  std::unique_ptr<DialogRun> run_;  // until its worker has ended
  bool runActive_ = false;
  unsigned runsStarted_ = 0;
};

}  // namespace kestrava
