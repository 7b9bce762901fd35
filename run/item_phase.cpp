#include "run/item_phase.h"

#include "base/text_codec.h"
#include "boards/identify_board.h"
#include "boards/model_table.h"

namespace kestrava {

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, RunRecord& record) {
  // A failed identification shows as its stage tag in the report and "unsupported yet" in
  // the Model field; the items are asked all the same.
  (void)identifyBoard(device);

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

  recordWhatWasRead(device, record);
}

namespace {

// Only a kept answer is taken: the getter then answers from its cache, without an
// exchange, and an item that failed stays without value.
void recordText(PrinterDevice& device, CachedItem item, ResultCode (PrinterDevice::*getter)(std::u16string&),
                bool asked, ReadItem<std::u16string>& into) {
  into.asked = asked || device.isCached(item);
  std::u16string text;
  if (device.isCached(item) && !failed((device.*getter)(text))) into.value = std::u16string(untilNul(text));
}

void recordLevels(const ConsumableList& list, bool known, std::vector<ConsumableLevel>& into) {
  for (const ConsumableEntry& entry : list) {
    ConsumableLevel level;
    level.name = entry.name != nullptr ? entry.name : u"";
    if (known) level.percentRemaining = entry.percentRemaining;
    into.push_back(std::move(level));
  }
}

}  // namespace

void recordWhatWasRead(PrinterDevice& device, RunRecord& record) {
  const UsbPrinterLink& link = device.link();
  record.linkOpened = link.connected();
  record.devicePath = link.devicePath();
  record.vendorId = static_cast<std::uint16_t>(link.usbId() >> 16);
  record.productId = static_cast<std::uint16_t>(link.usbId());
  record.modelName.reset();
  if (const ModelEntry* entry = findModel(record.productId); entry != nullptr && entry->modelName != nullptr) {
    record.modelName = entry->modelName;
  }
  record.boardDescription = untilNul(device.boardDescription());
  record.stageTag.reset();
  if (device.stageCode() != StageCode::none) {
    const char16_t* tag = stageTag(device.stageCode());
    record.stageTag = tag != nullptr ? tag : u"";
  }

  // The fields ask for these three on every printer; the report asks for the others as
  // the family's switches say.
  const ReportSwitches& switches = device.reportSwitches();
  recordText(device, CachedItem::fwVersion, &PrinterDevice::getFirmwareVersion, true, record.firmwareVersion);
  recordText(device, CachedItem::buildDate, &PrinterDevice::getBuildDate, true, record.buildDate);
  recordText(device, CachedItem::serialNumber, &PrinterDevice::getSerialNumber, true, record.serialNumber);
  recordText(device, CachedItem::engineFwVersion, &PrinterDevice::getEngineFwVersion, switches.engineFwVersion,
             record.engineFwVersion);

  record.ramSizeMb = {};
  record.ramSizeMb.asked = switches.ramSize || device.isCached(CachedItem::ramSize);
  std::uint32_t megabytes = 0;
  if (device.isCached(CachedItem::ramSize) && !failed(device.getRamSize(megabytes))) record.ramSizeMb.value = megabytes;

  record.levels.clear();
  if (switches.consumables) recordLevels(device.consumables(), device.isCached(CachedItem::consumables), record.levels);
  if (switches.drums) recordLevels(device.drums(), device.isCached(CachedItem::drums), record.levels);
}

}  // namespace kestrava
