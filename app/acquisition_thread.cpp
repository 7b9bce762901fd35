#include "app/acquisition_thread.h"

#include <memory>

#include "app/item_phase.h"
#include "device/printer_device.h"
#include "device/text_codec.h"

namespace kestrava {

unsigned AcquisitionThread(AcquisitionDialog& dialog, UsbBackend& backend) {
  dialog.EnableWindow(DialogButton::getData, false);
  dialog.EnableWindow(DialogButton::close, false);

  auto device = std::make_unique<PrinterDevice>(backend);
  std::u16string value;
  std::u16string message;

  dialog.m_model.clear();
  dialog.m_build.clear();
  dialog.m_fwVersion.clear();
  dialog.m_serialNumber.clear();
  dialog.m_report.clear();
  dialog.UpdateData(false);
  dialog.SetStatus(widenPrinterText(kBusyStatus));

  unsigned opened = device->link.open();
  if (opened != linkstatus::ok) {
    ResultCode code = opened == linkstatus::noPrinter ? rc::printerNotFound : rc::connectFailed;
    const char16_t* text = device->resultTextOf(code);
    message = text ? text : u"";
  } else {
    device->link.drain();
    runItemPhase(*device, dialog, value);
    device->link.close();
    message = widenPrinterText(kSuccessStatus);
  }

  dialog.SetStatus(message);
  dialog.EnableWindow(DialogButton::getData, true);
  dialog.EnableWindow(DialogButton::close, true);
  device.reset();
  return 0;
}

}  // namespace kestrava
