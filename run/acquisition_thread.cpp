#include "run/acquisition_thread.h"

#include <memory>

#include "base/text_codec.h"
#include "device/printer_device.h"
#include "run/answer_counter.h"
#include "run/item_phase.h"

namespace kestrava {

RunOutcome runAcquisition(AcquisitionDialog& dialog, UsbBackend& backend) {
  RunRecord record;
  return runAcquisition(dialog, backend, record);
}

RunOutcome runAcquisition(AcquisitionDialog& dialog, UsbBackend& backend, RunRecord& record) {
  dialog.EnableWindow(DialogButton::getData, false);
  dialog.EnableWindow(DialogButton::close, false);

  record = RunRecord{};
  AnswerCounter counter(backend);
  auto device = std::make_unique<PrinterDevice>(counter);
  std::u16string message;
  RunOutcome outcome = RunOutcome::done;

  dialog.m_model.clear();
  dialog.m_build.clear();
  dialog.m_fwVersion.clear();
  dialog.m_serialNumber.clear();
  dialog.m_report.clear();
  dialog.UpdateData(false);
  dialog.SetStatus(widenPrinterText(kBusyStatus));

  LinkStatus opened = device->link().open();
  if (opened != LinkStatus::ok) {
    bool absent = opened == LinkStatus::noPrinter;
    outcome = absent ? RunOutcome::printerNotFound : RunOutcome::connectFailed;
    const char16_t* text = resultText(absent ? ResultCode::printerNotFound : ResultCode::connectFailed);
    message = text ? text : u"";
  } else {
    device->link().drain();
    counter.startCounting();
    runItemPhase(*device, dialog, record);
    record.printerAnswered = device->repliesEchoed() > 0;
    record.bytesReceived = counter.bytesAnswered();
    if (!record.printerAnswered) outcome = RunOutcome::printerSilent;
    device->link().close();
    // The dialogs show "done" for a silent printer too: its fields say "undefined".
    message = widenPrinterText(kSuccessStatus);
  }

  dialog.SetStatus(message);
  dialog.EnableWindow(DialogButton::getData, true);
  dialog.EnableWindow(DialogButton::close, true);
  device.reset();
  return outcome;
}

unsigned AcquisitionThread(AcquisitionDialog& dialog, UsbBackend& backend) {
  runAcquisition(dialog, backend);
  return 0;
}

}  // namespace kestrava
