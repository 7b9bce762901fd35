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
    case CachedItem::fwVersion: return fwVersionCached_;
    case CachedItem::engineFwVersion: return engineFwVersionCached_;
    case CachedItem::buildDate: return buildDateCached_;
    case CachedItem::serialNumber: return serialNumberCached_;
    case CachedItem::ramSize: return ramSizeCached_;
    case CachedItem::consumables: return consumablesCached_;
    case CachedItem::drums: return drumsCached_;
  }
  return false;
}

}  // namespace kestrava
