#include "app/item_phase.h"

namespace kestrava {

namespace {

// The text of `value` up to its first NUL, as a dialog field receives it.
std::u16string fieldText(const std::u16string& value) { return value.substr(0, value.find(u'\0')); }

}  // namespace

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, std::u16string& value) {
  device.identifyBoard();

  value = device.boardDescription;
  dialog.m_model = fieldText(value);
  dialog.UpdateData(false);

  using Getter = ResultCode (PrinterDevice::*)(std::u16string&);
  const std::pair<Getter, std::u16string AcquisitionDialog::*> items[] = {
      {&PrinterDevice::getBuildDate, &AcquisitionDialog::m_build},
      {&PrinterDevice::getFirmwareVersion, &AcquisitionDialog::m_fwVersion},
      {&PrinterDevice::getSerialNumber, &AcquisitionDialog::m_serialNumber},
  };
  for (const auto& [getter, field] : items) {
    if ((device.*getter)(value) != rc::noError) value = kUndefinedItem;
    dialog.*field = fieldText(value);
    dialog.UpdateData(false);
  }

  if (device.composeReport(value) != rc::noError) value = kUndefinedItem;
  dialog.m_report = fieldText(value) + kProgramIdLine;
  dialog.UpdateData(false);
}

}  // namespace kestrava
