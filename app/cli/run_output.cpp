#include "app/cli/run_output.h"

#include <nlohmann/json.hpp>

#include "app/cli/terminal_text.h"
#include "base/text_codec.h"

namespace kestrava {

std::string runAsJson(const AcquisitionDialog& dialog) {
  nlohmann::ordered_json object;
  object["status"] = toUtf8(dialog.m_status);
  object["model"] = toUtf8(dialog.m_model);
  object["build"] = toUtf8(dialog.m_build);
  object["fwVersion"] = toUtf8(dialog.m_fwVersion);
  object["serialNumber"] = toUtf8(dialog.m_serialNumber);
  object["report"] = toUtf8(dialog.m_report);
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
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
  out += "Model:         " + shown(dialog.m_model) + lineEnd;
  out += "Build:         " + shown(dialog.m_build) + lineEnd;
  out += "FW version:    " + shown(dialog.m_fwVersion) + lineEnd;
  out += "Serial number: " + shown(dialog.m_serialNumber) + lineEnd;
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
