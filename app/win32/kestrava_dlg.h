// The main and only window: four values, the report, the status bar, "Get data" and
// "Close".
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/win32/framework/dialog.h"
#include "run/run_session.h"

namespace kestrava {

// Posted to the dialog window when a run has handed something over to it.
inline constexpr UINT kRunHandOverMessage = WM_APP + 1;

// The back end of the printers attached by USB, a new one for every run; after "printer
// not found" it names a printer of the vendor that another driver than USB Printing
// Support drives.
std::unique_ptr<UsbBackend> makeUsbBackend();

class CKestravaDlg : public ui::CDialogEx, public RunWindow {
 public:
  using BackendFactory = RunSession::PrinterSource;

  explicit CKestravaDlg(ui::CWnd* parent = nullptr, BackendFactory backendFactory = makeUsbBackend);
  // A run still going is cancelled and joined: the program never ends under it.
  ~CKestravaDlg() override;

  // The six fields to the controls (false) or back (true).
  void UpdateData(bool saveAndValidate) override;
  void EnableWindow(DialogButton button, bool enable) override;
  // The advice of the last run beside the buttons, as a sentence; hidden when empty.
  void ShowFailureHint(const std::string& hint) override;

  // From "Get data" until the run gives the buttons back.
  bool running() const { return session_.active(); }

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

  void OnPaint();
  HICON OnQueryDragIcon();
  void OnGetData();

 private:
  void LayOutStatusBar();
  RunSessionSeams runSeams();
  // From a run's worker: queues `action` and wakes the window; dropped once it is gone.
  void handOver(std::function<void()> action);
  void runHandOvers();

  std::mutex handOverMutex_;  // guards the two members below
  HWND handOverWindow_ = nullptr;
  std::deque<std::function<void()>> handOvers_;
  RunSession session_;
};

}  // namespace kestrava
