#include "app/cli/run_output.h"

#include <nlohmann/json.hpp>

#include "app/cli/exit_status.h"
#include "app/cli/json_format.h"
#include "app/shown_fields.h"
#include "base/visible_text.h"
#include "base/text_codec.h"

namespace kestrava {

namespace {

using Json = nlohmann::ordered_json;

Json dialogMembers(const AcquisitionDialog& dialog) {
  Json object;
  object["status"] = toUtf8(dialog.m_status);
  for (const ShownField& field : kShownFields) object[std::string(field.jsonMember)] = toUtf8(dialog.*field.value);
  object["report"] = toUtf8(dialog.m_report);
  return object;
}

Json textOrNull(const std::optional<std::u16string>& text) { return text ? Json(toUtf8(*text)) : Json(nullptr); }

// An item the family does not have stays out; one the printer did not answer is null.
void putText(Json& object, const char* name, const ReadItem<std::u16string>& item) {
  if (item.asked) object[name] = textOrNull(item.value);
}

Json printerMembers(const RunRecord& record) {
  Json printer;
  printer["answered"] = record.printerAnswered;
  printer["vendorId"] = record.vendorId;
  printer["productId"] = record.productId;
  printer["modelName"] = textOrNull(record.modelName);
  printer["board"] = toUtf8(record.boardDescription);
  if (record.stageTag) printer["failedStage"] = toUtf8(*record.stageTag);
  putText(printer, "firmwareVersion", record.firmwareVersion);
  if (record.buildDate.asked) {
    std::optional<std::u16string> date;
    if (record.buildDate.value) date = trimmed(*record.buildDate.value);
    printer["buildDate"] = textOrNull(date);
    printer["buildDateAsGiven"] = textOrNull(record.buildDate.value);
  }
  putText(printer, "serialNumber", record.serialNumber);
  putText(printer, "engineVersion", record.engineFwVersion);
  if (record.ramSizeMb.asked) {
    printer["memoryMiB"] = record.ramSizeMb.value ? Json(*record.ramSizeMb.value) : Json(nullptr);
  }
  if (!record.levels.empty()) {
    Json levels = Json::object();
    for (const ConsumableLevel& level : record.levels) {
      levels[toUtf8(level.name)] = level.percentRemaining ? Json(*level.percentRemaining) : Json(nullptr);
    }
    printer["levels"] = levels;
  }
  return printer;
}

}  // namespace

std::u16string trimmed(const std::u16string& text) {
  const std::u16string blanks = u" \t\r\n";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::u16string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string runAsJson(const RunReport& run) {
  Json object = dialogMembers(run.dialog);
  object["device"] = run.devicePath.empty() ? Json(nullptr) : Json(toUtf8(run.devicePath));
  object["outcome"] = exitstatus::nameOf(run.exitStatus);
  object["exitStatus"] = run.exitStatus;
  object["printer"] = run.record.linkOpened ? printerMembers(run.record) : Json(nullptr);
  addFormatMembers(object);
  return dumpedJson(object);
}

std::string errorAsJson(const std::string& message, int exitStatus) {
  Json object;
  object["error"] = message;
  object["outcome"] = exitstatus::nameOf(exitStatus);
  object["exitStatus"] = exitStatus;
  addFormatMembers(object);
  return dumpedJson(object);
}

std::string runAsText(const AcquisitionDialog& dialog, const std::string& lineEnd) {
  // Printer text never reaches the terminal raw.
  auto shown = [](const std::u16string& field) { return toUtf8(visibleControls(field)); };
  std::string report = toUtf8(visibleControls(dialog.m_report, true));
  std::string converted;
  for (std::size_t i = 0; i < report.size(); ++i) {
    if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') {
      converted += lineEnd;
      ++i;
    } else {
      converted.push_back(report[i]);
    }
  }
  std::string out;
  for (const ShownField& field : kShownFields) out += captionColumn(field) + shown(dialog.*field.value) + lineEnd;
  out += lineEnd;
  out += converted;
  if (!converted.empty() && converted.size() >= lineEnd.size() &&
      converted.compare(converted.size() - lineEnd.size(), lineEnd.size(), lineEnd) != 0) {
    out += lineEnd;
  }
  out += lineEnd + shown(dialog.m_status) + lineEnd;
  return out;
}

}  // namespace kestrava
