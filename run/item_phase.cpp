#include "run/item_phase.h"

#include "base/text_codec.h"
#include "boards/identify_board.h"

namespace kestrava {

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog) {
  identifyBoard(device);

  // One buffer for every item in turn; a field receives its text up to the first NUL.
  std::u16string value = device.boardDescription();
  dialog.m_model = untilNul(value);
  dialog.UpdateData(false);

  using Getter = ResultCode (PrinterDevice::*)(std::u16string&);
  const std::pair<Getter, std::u16string AcquisitionDialog::*> items[] = {
      {&PrinterDevice::getBuildDate, &AcquisitionDialog::m_build},
      {&PrinterDevice::getFirmwareVersion, &AcquisitionDialog::m_fwVersion},
      {&PrinterDevice::getSerialNumber, &AcquisitionDialog::m_serialNumber},
  };
  for (const auto& [getter, field] : items) {
    if (failed((device.*getter)(value))) value = kUndefinedItem;
    dialog.*field = untilNul(value);
    dialog.UpdateData(false);
  }

  if (failed(device.composeReport(value))) value = kUndefinedItem;
  dialog.m_report = std::u16string(untilNul(value)) + kProgramIdLine;
  dialog.UpdateData(false);
}

}  // namespace kestrava
