#include "app/cli/machine_check.h"

#include <sstream>

#include <nlohmann/json.hpp>

#include "app/cli/exit_status.h"
#include "app/cli/json_format.h"
#include "base/visible_text.h"

namespace kestrava {

namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kIndent = 9;  // "problem  " and the column the texts start in

// `lead` and `text` in lines of at most kWidth, the lines after the first indented.
std::string wrapped(const std::string& lead, const std::string& text) {
  std::string out;
  std::string line = lead;
  bool lineHasWord = true;  // the lead counts as a word: a blank follows it
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    if (line.size() > kIndent && line.size() + 1 + word.size() > kWidth) {
      out += line + '\n';
      line = std::string(kIndent, ' ');
      lineHasWord = false;
    }
    if (lineHasWord) line += ' ';
    line += word;
    lineHasWord = true;
  }
  return out + line + '\n';
}

}  // namespace

const char* verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::ok: return "ok";
    case Verdict::problem: return "problem";
    case Verdict::note: return "note";
  }
  return "note";
}

int MachineCheck::problems() const {
  int count = 0;
  for (const CheckLine& line : lines) count += line.verdict == Verdict::problem ? 1 : 0;
  return count;
}

int checkExitStatus(const MachineCheck& check) {
  if (check.printersSeen == 0) return exitstatus::notFound;
  return check.problems() > 0 ? exitstatus::checkProblem : exitstatus::done;
}

std::string checkAsText(const MachineCheck& check) {
  std::string out;
  for (const CheckLine& line : check.lines) {
    std::string lead = verdictName(line.verdict);
    lead.resize(kIndent, ' ');
    // Names and texts out of sysfs or the registry are not ours to send raw to a terminal.
    out += wrapped(lead + visibleExcerpt(line.subject, 200) + ":", visibleExcerpt(line.finding, 2000));
    if (!line.nextStep.empty()) {
      out += wrapped(std::string(kIndent, ' ') + "next:", visibleExcerpt(line.nextStep, 2000));
    }
  }
  const int problems = check.problems();
  std::string summary;
  if (check.printersSeen == 0) {
    summary = "No printer of vendor 0x232B is seen on this machine.";
  } else {
    summary = std::to_string(check.printersSeen) + (check.printersSeen == 1 ? " printer" : " printers") +
              " of vendor 0x232B seen; " +
              (problems == 0 ? std::string("nothing stands in the way.")
                             : std::to_string(problems) + (problems == 1 ? " problem" : " problems") +
                                   " to solve first (see \"next\").");
  }
  return out + "\n" + summary + "\n";
}

std::string checkAsJson(const MachineCheck& check) {
  nlohmann::ordered_json object;
  object["system"] = check.system;
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  for (const CheckLine& line : check.lines) {
    nlohmann::ordered_json item;
    item["subject"] = line.subject;
    item["verdict"] = verdictName(line.verdict);
    item["finding"] = line.finding;
    item["nextStep"] = line.nextStep.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(line.nextStep);
    lines.push_back(item);
  }
  object["lines"] = lines;
  object["printersSeen"] = check.printersSeen;
  object["problems"] = check.problems();
  const int status = checkExitStatus(check);
  object["outcome"] = exitstatus::nameOf(status);
  object["exitStatus"] = status;
  addFormatMembers(object);
  return dumpedJson(object);
}

}  // namespace kestrava
