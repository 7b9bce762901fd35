#include "run/item_phase.h"

#include "base/text_codec.h"
#include "boards/identify_board.h"
#include "boards/model_table.h"

namespace kestrava {

void runItemPhase(PrinterDevice& device, AcquisitionDialog& dialog, RunRecord& record) {
  PrinterInfo info(device);
  // What identification decided is applied here and nowhere else. A failed
  // identification shows as its stage tag in the report and "unsupported yet" in the
  // Model field; the items are asked all the same.
  info.apply(identifyBoard(info).identity);

  // One buffer for every item in turn; a field receives its text up to the first NUL.
  std::u16string value = info.identity().boardDescription;
  dialog.m_model = untilNul(value);
  dialog.UpdateData(false);

  using Getter = ResultCode (PrinterInfo::*)(std::u16string&);
  const std::pair<Getter, std::u16string AcquisitionDialog::*> items[] = {
      {&PrinterInfo::getBuildDate, &AcquisitionDialog::m_build},
      {&PrinterInfo::getFirmwareVersion, &AcquisitionDialog::m_fwVersion},
      {&PrinterInfo::getSerialNumber, &AcquisitionDialog::m_serialNumber},
  };
  for (const auto& [getter, field] : items) {
    if (failed((info.*getter)(value))) value = kUndefinedItem;
    dialog.*field = untilNul(value);
    dialog.UpdateData(false);
  }

  if (failed(info.composeReport(value))) value = kUndefinedItem;
  dialog.m_report = std::u16string(untilNul(value)) + kProgramIdLine;
  dialog.UpdateData(false);

  recordWhatWasRead(info, record);
}

namespace {

// Only a kept answer is taken: the getter then answers from its cache, without an
// exchange, and an item that failed stays without value.
void recordText(PrinterInfo& info, CachedItem item, ResultCode (PrinterInfo::*getter)(std::u16string&), bool asked,
                ReadItem<std::u16string>& into) {
  into.asked = asked || info.isCached(item);
  std::u16string text;
  if (info.isCached(item) && !failed((info.*getter)(text))) into.value = std::u16string(untilNul(text));
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

void recordWhatWasRead(PrinterInfo& info, RunRecord& record) {
  const UsbPrinterLink& link = info.device().link();
  const BoardIdentity& identity = info.identity();
  record.linkOpened = link.connected();
  record.devicePath = link.devicePath();
  record.vendorId = static_cast<std::uint16_t>(link.usbId() >> 16);
  record.productId = static_cast<std::uint16_t>(link.usbId());
  record.modelName.reset();
  if (const ModelEntry* entry = findModel(record.productId); entry != nullptr && entry->modelName != nullptr) {
    record.modelName = entry->modelName;
  }
  record.boardDescription = untilNul(identity.boardDescription);
  record.stageTag.reset();
  if (identity.stageCode != StageCode::none) {
    const char16_t* tag = stageTag(identity.stageCode);
    record.stageTag = tag != nullptr ? tag : u"";
  }

  // The fields ask for these three on every printer; the report asks for the others as
  // the family's switches say.
  const ReportSwitches switches = info.reportSwitches();
  recordText(info, CachedItem::fwVersion, &PrinterInfo::getFirmwareVersion, true, record.firmwareVersion);
  recordText(info, CachedItem::buildDate, &PrinterInfo::getBuildDate, true, record.buildDate);
  recordText(info, CachedItem::serialNumber, &PrinterInfo::getSerialNumber, true, record.serialNumber);
  recordText(info, CachedItem::engineFwVersion, &PrinterInfo::getEngineFwVersion, switches.engineFwVersion,
             record.engineFwVersion);

  record.ramSizeMb = {};
  record.ramSizeMb.asked = switches.ramSize || info.isCached(CachedItem::ramSize);
  std::uint32_t megabytes = 0;
  if (info.isCached(CachedItem::ramSize) && !failed(info.getRamSize(megabytes))) record.ramSizeMb.value = megabytes;

  record.levels.clear();
  if (switches.consumables) recordLevels(info.consumables(), info.isCached(CachedItem::consumables), record.levels);
  if (switches.drums) recordLevels(info.drums(), info.isCached(CachedItem::drums), record.levels);
}

}  // namespace kestrava
