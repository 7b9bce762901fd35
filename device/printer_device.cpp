#include "device/printer_device.h"

namespace kestrava {

PrinterDevice::PrinterDevice(UsbBackend& backend) : link_(backend) {
  buildDateSource_ = BuildDateSource::printer;
  stageCode_ = StageCode::none;
  resetReportSwitches();
  selectMonoDrumSet();
  boardDescription_ = u"unsupported yet";
  modelName_ = u"undefined";
  buildDateMarker_ = "DATA:";
}

bool PrinterDevice::isCached(CachedItem item) const {
  switch (item) {
    case CachedItem::fwVersion: return fwVersion_.kept;
    case CachedItem::engineFwVersion: return engineFwVersion_.kept;
    case CachedItem::buildDate: return buildDate_.kept;
    case CachedItem::serialNumber: return serialNumber_.kept;
    case CachedItem::ramSize: return ramSizeMb_.kept;
    case CachedItem::consumables: return consumablesCached_;
    case CachedItem::drums: return drumsCached_;
  }
  return false;
}

}  // namespace kestrava
