#include "app/win32/dialog_run.h"

#include <exception>

#include "run/acquisition_thread.h"
#include "app/win32/framework/win_app.h"

namespace kestrava {

void RunView::UpdateData(bool) {
  // Only transfers to the controls happen during a run.
  SendMessageW(dialog_, kRunTransferMessage, run_, reinterpret_cast<LPARAM>(this));
}

void RunView::EnableWindow(DialogButton button, bool enable) {
  SendMessageW(dialog_, kRunButtonMessage, run_, buttonMessageParam(button, enable));
}

LPARAM RunView::buttonMessageParam(DialogButton button, bool enable) {
  return (button == DialogButton::close ? 2 : 0) | (enable ? 1 : 0);
}

void RunView::fromButtonMessageParam(LPARAM param, DialogButton& button, bool& enable) {
  button = (param & 2u) ? DialogButton::close : DialogButton::getData;
  enable = (param & 1u) != 0;
}

DialogRun::DialogRun(HWND dialog, unsigned run, const AcquisitionDialog& fields, RunBackend backend)
    : backend_(std::move(backend)), view_(dialog, run), dialog_(dialog), number_(run) {
  // The run empties the five values but not the status, which keeps its text until the
  // run sets its own.
  view_.m_model = fields.m_model;
  view_.m_build = fields.m_build;
  view_.m_fwVersion = fields.m_fwVersion;
  view_.m_serialNumber = fields.m_serialNumber;
  view_.m_report = fields.m_report;
  view_.m_status = fields.m_status;
  thread_ = ui::AfxBeginThread(&DialogRun::work, this);
}

DialogRun::~DialogRun() {
  if (!thread_) return;
  // A printer that stopped reading can hold a write, and an interrupt can come just
  // before the worker starts its next operation: so the interrupt is repeated until the
  // worker has ended, each wait bounded and answering what the worker sends meanwhile.
  while (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
    if (backend_.interrupt) backend_.interrupt();
    if (ui::AfxWaitAnsweringSentMessages(thread_, kInterruptRepeatMs)) break;
  }
  CloseHandle(thread_);
}

void DialogRun::wait() {
  if (thread_) ui::AfxWaitAnsweringSentMessages(thread_);
}

std::string DialogRun::internalErrorHint(const char* what) {
  return std::string("the run stopped on an internal error (") + what +
         "); please report it, with a trace from kestrava-cli --trace kestrava.trace";
}

void DialogRun::runOnWorker() {
  // No exception may leave the thread's entry: in the 32-bit build it would end the
  // program. One that escapes the run ends the run, and the dialog gets its buttons back.
  const char* escaped = nullptr;
  std::string what;
  try {
    RunOutcome outcome = runAcquisition(view_, *backend_.backend);
    if (outcome == RunOutcome::connectFailed) hint_ = backend_.backend->openFailureHint();
    if (outcome == RunOutcome::printerNotFound && backend_.notFoundHint) hint_ = backend_.notFoundHint();
    return;
  } catch (const std::exception& error) {
    what = error.what();
    escaped = what.c_str();
  } catch (...) {
    escaped = "an exception of unknown type";
  }
  hint_ = internalErrorHint(escaped);
  try {
    view_.SetStatus(kReadyStatus);
    view_.EnableWindow(DialogButton::getData, true);
    view_.EnableWindow(DialogButton::close, true);
  } catch (...) {
    // Only messages to the dialog are left to fail; the run ends all the same.
  }
}

unsigned DialogRun::work(void* parameter) {
  auto* run = static_cast<DialogRun*>(parameter);
  run->runOnWorker();
  PostMessageW(run->dialog_, kRunEndedMessage, run->number_, 0);
  return 0;
}

}  // namespace kestrava
