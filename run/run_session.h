// The life of acquisition runs in a window, the same for the Linux and the Windows
// dialog: "Get data" greys the buttons before the worker exists, one run at a time, the
// last worker joined before the next starts, "Close" given back means idle, a window
// closed mid-run cancels the transfer in flight and waits only for that, and what a run
// shows reaches only the window it was started for, never after it was cut loose.
//
// The window's toolkit comes in through two seams: starting a thread, and handing a
// function to the user-interface thread. The worker never waits for that thread: every
// transfer of the fields and every button change is handed over as a copy, so the
// user-interface thread can always join a worker without serving it meanwhile.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/cancellable_backend.h"
#include "run/acquisition_dialog.h"
#include "run/run_outcome.h"
#include "run/run_record.h"

namespace kestrava {

// A worker thread as the session sees it.
class RunThread {
 public:
  virtual ~RunThread() = default;
  // Waits until the thread's work has returned; called once, on the user-interface thread.
  virtual void join() = 0;
};

struct RunSessionSeams {
  using StartThread = std::function<std::unique_ptr<RunThread>(std::function<void()> work)>;
  using PostToUi = std::function<void(std::function<void()> action)>;

  // Starts `work` on a thread of its own; nullptr when no thread could be made.
  StartThread startThread;
  // Hands `action` to the user-interface thread, which runs it later, in the order handed
  // over; returns at once. Called from the worker. An action handed over after the window
  // is gone may be dropped.
  PostToUi postToUi;
};

// What the session needs of a window beyond a dialog's fields and buttons. Every call
// comes on the user-interface thread.
class RunWindow : public AcquisitionDialog {
 public:
  // The advice of the last run beside its status; empty hides it.
  virtual void ShowFailureHint(const std::string& hint) = 0;
  // A run's worker has ended and been joined.
  virtual void OnRunJoined() {}
};

class RunSession {
 public:
  // A fresh back end for each run, so that a replayed trace or a scenario starts from its
  // beginning at every "Get data"; never null.
  using PrinterSource = std::function<std::unique_ptr<UsbBackend>()>;
  // On the worker after a run: the advice to show beside its status (empty: none).
  using HintFor = std::function<std::string(RunOutcome, const RunRecord&, const UsbBackend&)>;

  // `window` must outlive the session, or call stop() before it goes.
  RunSession(RunWindow& window, RunSessionSeams seams, PrinterSource printer, HintFor hint = nullptr);
  // Stops a run still going (see stop).
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // "Get data": grey buttons, the hint hidden, then a run on a new worker; false, and
  // nothing happens, while a run is active. Joins the last run's worker first, which has
  // nothing left but freeing its device once it gave "Close" back.
  bool start();

  // From start() until the run gives "Close" back.
  bool active() const { return active_; }
  // A run's worker exists and has not been joined yet; it may already be idle.
  bool inProgress() const { return thread_ != nullptr; }

  // Cuts the run loose from the window, cancels its transfer in flight and joins its
  // worker: nothing the run still hands over reaches the window.
  void stop();

  // What a run that ended on an exception shows beside its status.
  static std::string internalErrorHint(const char* what);

 private:
  struct Shared;
  class WorkerView;

  void work(WorkerView& view, CancellableBackend& backend);
  void onRunEnded(const std::string& hint);
  void join();

  RunWindow& window_;
  RunSessionSeams seams_;
  PrinterSource printer_;
  HintFor hint_;
  // What the worker's hand-overs check on the user-interface thread; it outlives the
  // session for those still queued.
  std::shared_ptr<Shared> shared_;
  unsigned runsStarted_ = 0;
  bool active_ = false;
  std::unique_ptr<UsbBackend> runPrinter_;
  std::unique_ptr<CancellableBackend> runBackend_;
  std::unique_ptr<WorkerView> runView_;
  std::unique_ptr<RunThread> thread_;
};

}  // namespace kestrava
