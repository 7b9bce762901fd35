// One acquisition run of the Windows dialog on a worker thread of its own.
//
// The worker never holds the dialog object. It runs on a view of its own (six fields,
// the transfer and the two buttons) whose every operation is a message sent to the
// dialog window and handled on the user-interface thread: a transfer has reached the
// controls when SendMessage returns, and once the window is gone the messages go
// nowhere, so a dialog closed during a run is never touched by the worker.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "run/acquisition_dialog.h"
#include "link/usb_backend.h"

namespace kestrava {

// Messages from a run to the dialog window. wParam is always the run's number, so that
// the dialog tells its current run from an earlier one.
inline constexpr UINT kRunTransferMessage = WM_APP + 1;  // lParam: the RunView, whose fields go to the controls
inline constexpr UINT kRunButtonMessage = WM_APP + 2;    // lParam: RunView::buttonMessageParam
inline constexpr UINT kRunEndedMessage = WM_APP + 3;     // posted: the worker is about to end

// The back end of a run and how to cut its printer I/O short.
struct RunBackend {
  std::shared_ptr<UsbBackend> backend;
  std::function<void()> interrupt;  // from the user-interface thread, while the run goes on
  // After "printer not found", on the worker: what else is attached (empty: nothing).
  std::function<std::string()> notFoundHint = nullptr;
};

// The dialog as the worker sees it.
class RunView : public AcquisitionDialog {
 public:
  RunView(HWND dialog, unsigned run) : dialog_(dialog), run_(run) {}

  void UpdateData(bool saveAndValidate) override;
  void EnableWindow(DialogButton button, bool enable) override;

  static LPARAM buttonMessageParam(DialogButton button, bool enable);
  static void fromButtonMessageParam(LPARAM param, DialogButton& button, bool& enable);

 private:
  HWND dialog_;
  unsigned run_;
};

class DialogRun {
 public:
  // Starts run number `run` on a new thread, its view holding the dialog's fields as
  // they are; started() tells whether a thread could be made.
  DialogRun(HWND dialog, unsigned run, const AcquisitionDialog& fields, RunBackend backend);
  // Interrupts the printer I/O of a run still going, again and again, until the worker
  // has ended; it never waits without bound for a worker that does not end.
  ~DialogRun();
  DialogRun(const DialogRun&) = delete;
  DialogRun& operator=(const DialogRun&) = delete;

  bool started() const { return thread_ != nullptr; }
  unsigned number() const { return number_; }

  // Waits for the worker, answering what it sends in the meantime.
  void wait();

  // After the worker has ended: the advice to show beside the run's status (why the
  // printer could not be opened, or the internal error that ended the run); empty if
  // there is none.
  const std::string& hint() const { return hint_; }

  // What a run that ended on an exception shows beside its status.
  static std::string internalErrorHint(const char* what);

  // How long each wait of the destructor lasts before it interrupts again.
  static constexpr DWORD kInterruptRepeatMs = 100;

 private:
  static unsigned work(void* run);
  void runOnWorker();

  RunBackend backend_;
  RunView view_;
  HWND dialog_;
  unsigned number_;
  HANDLE thread_ = nullptr;
  std::string hint_;  // written by the worker before it ends
};

}  // namespace kestrava
