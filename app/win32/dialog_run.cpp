#include "app/win32/dialog_run.h"

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
  if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT && backend_.interrupt) backend_.interrupt();
  wait();
  CloseHandle(thread_);
}

void DialogRun::wait() {
  if (thread_) ui::AfxWaitAnsweringSentMessages(thread_);
}

unsigned DialogRun::work(void* parameter) {
  auto* run = static_cast<DialogRun*>(parameter);
  AcquisitionThread(run->view_, *run->backend_.backend);
  PostMessageW(run->dialog_, kRunEndedMessage, run->number_, 0);
  return 0;
}

}  // namespace kestrava
