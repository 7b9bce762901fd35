#include "info/printer_info.h"

namespace kestrava {

PrinterInfo::PrinterInfo(PrinterDevice& device) : device_(device) { apply(BoardIdentity{}); }

void PrinterInfo::apply(const BoardIdentity& identity) {
  identity_ = identity;
  consumables_ = tonersOf(identity.consumableSet);
  drums_ = drumsOf(identity.consumableSet);
  consumablesCached_ = false;
  drumsCached_ = false;
}

bool PrinterInfo::isCached(CachedItem item) const {
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
