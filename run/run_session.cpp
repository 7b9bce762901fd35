#include "run/run_session.h"

#include <exception>
#include <utility>

#include "run/acquisition_thread.h"

namespace kestrava {

// Read and written on the user-interface thread only.
struct RunSession::Shared {
  RunSession* session = nullptr;
  // The run whose hand-overs reach the window; 0 for none.
  unsigned current = 0;
};

namespace {

struct Fields {
  std::u16string model, build, fwVersion, serialNumber, report, status;
};

Fields fieldsOf(const AcquisitionDialog& dialog) {
  return {dialog.m_model, dialog.m_build, dialog.m_fwVersion, dialog.m_serialNumber, dialog.m_report, dialog.m_status};
}

void setFields(AcquisitionDialog& dialog, const Fields& fields) {
  dialog.m_model = fields.model;
  dialog.m_build = fields.build;
  dialog.m_fwVersion = fields.fwVersion;
  dialog.m_serialNumber = fields.serialNumber;
  dialog.m_report = fields.report;
  dialog.m_status = fields.status;
}

}  // namespace

// The dialog as the worker sees it: fields of its own, and every transfer and button
// change handed to the user-interface thread as a copy.
class RunSession::WorkerView : public AcquisitionDialog {
 public:
  WorkerView(std::shared_ptr<Shared> shared, RunSessionSeams::PostToUi post, unsigned run)
      : shared_(std::move(shared)), post_(std::move(post)), run_(run) {}

  // Only transfers to the controls happen during a run.
  void UpdateData(bool) override {
    post_([shared = shared_, run = run_, fields = fieldsOf(*this)] {
      if (shared->current != run) return;
      RunWindow& window = shared->session->window_;
      setFields(window, fields);
      window.UpdateData(false);
    });
  }

  void EnableWindow(DialogButton button, bool enable) override {
    post_([shared = shared_, run = run_, button, enable] {
      if (shared->current != run) return;
      RunSession& session = *shared->session;
      session.window_.EnableWindow(button, enable);
      // The run's last step for the window gives "Close" back: from then on it is idle.
      if (button == DialogButton::close && enable) session.active_ = false;
    });
  }

  void ended(std::string hint) {
    post_([shared = shared_, run = run_, hint = std::move(hint)] {
      if (shared->current == run) shared->session->onRunEnded(hint);
    });
  }

 private:
  std::shared_ptr<Shared> shared_;
  RunSessionSeams::PostToUi post_;
  unsigned run_;
};

RunSession::RunSession(RunWindow& window, RunSessionSeams seams, PrinterSource printer, HintFor hint)
    : window_(window),
      seams_(std::move(seams)),
      printer_(std::move(printer)),
      hint_(std::move(hint)),
      shared_(std::make_shared<Shared>()) {
  shared_->session = this;
}

RunSession::~RunSession() {
  stop();
  shared_->session = nullptr;
}

bool RunSession::start() {
  if (active_) return false;
  if (thread_) join();
  // The buttons go grey here, before the worker exists: a second press that is already
  // queued finds "Get data" disabled and cannot start a second run.
  window_.EnableWindow(DialogButton::getData, false);
  window_.EnableWindow(DialogButton::close, false);
  window_.ShowFailureHint({});
  active_ = true;

  const unsigned run = ++runsStarted_;
  shared_->current = run;
  runPrinter_ = printer_();
  runBackend_ = std::make_unique<CancellableBackend>(*runPrinter_);
  runView_ = std::make_unique<WorkerView>(shared_, seams_.postToUi, run);
  // The run empties the five values but not the status, which keeps its text until the
  // run sets its own.
  setFields(*runView_, fieldsOf(window_));
  thread_ = seams_.startThread([this, view = runView_.get(), backend = runBackend_.get()] { work(*view, *backend); });
  if (!thread_) {
    shared_->current = 0;
    active_ = false;
    runView_.reset();
    runBackend_.reset();
    runPrinter_.reset();
    window_.EnableWindow(DialogButton::getData, true);
    window_.EnableWindow(DialogButton::close, true);
    return false;
  }
  return true;
}

std::string RunSession::internalErrorHint(const char* what) {
  return std::string("the run stopped on an internal error (") + what +
         "); please report it, with a trace from kestrava-cli --trace kestrava.trace";
}

// On the worker. No exception may leave it: one that escapes the run ends the run, and
// the window gets its buttons back.
void RunSession::work(WorkerView& view, CancellableBackend& backend) {
  std::string hint;
  const char* escaped = nullptr;
  std::string what;
  try {
    RunRecord record;
    const RunOutcome outcome = runAcquisition(view, backend, record);
    if (hint_) hint = hint_(outcome, record, backend);
  } catch (const std::exception& error) {
    what = error.what();
    escaped = what.c_str();
  } catch (...) {
    escaped = "an exception of unknown type";
  }
  if (escaped) {
    hint = internalErrorHint(escaped);
    try {
      view.SetStatus(kReadyStatus);
      view.EnableWindow(DialogButton::getData, true);
      view.EnableWindow(DialogButton::close, true);
    } catch (...) {
      // Only the hand-overs are left to fail; the run ends all the same.
    }
  }
  // The worker's last act: the user-interface thread joins it when it sees this.
  try {
    view.ended(std::move(hint));
  } catch (...) {
    // Without it the next "Get data" or the window's end joins the worker.
  }
}

void RunSession::onRunEnded(const std::string& hint) {
  // Shown before the window hears that the worker has been joined.
  window_.ShowFailureHint(hint);
  join();
}

void RunSession::join() {
  thread_->join();
  thread_.reset();
  runView_.reset();
  runBackend_.reset();
  runPrinter_.reset();
  active_ = false;
  window_.OnRunJoined();
}

void RunSession::stop() {
  shared_->current = 0;
  if (!thread_) return;
  // The transfer in flight ends at once as cancelled, and every later one fails: the run
  // hurries to its end, and nothing it hands over reaches the window any more.
  if (active_) runBackend_->cancel();
  join();
}

}  // namespace kestrava
