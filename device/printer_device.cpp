#include "device/printer_device.h"

namespace kestrava {

PrinterDevice::PrinterDevice(UsbBackend& backend) : link(backend) {
  buildDateHandler = &PrinterDevice::queryBuildDate;
  stageCode = stage::none;
  resetReportSwitches();
  selectMonoDrumSet();
  boardDescription = u"unsupported yet";
  modelName = u"undefined";
  buildDateMarker = "DATA:";
}

}  // namespace kestrava
