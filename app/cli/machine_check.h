// kestrava-cli --check: what this machine shows of printers of vendor 0x232B and what
// stands between the user and them, one line per finding, each with a verdict and the
// one thing to do next.
//
// It reads only what the system describes (sysfs and the device nodes on Linux, SetupAPI
// on Windows): it opens no printer, claims no interface and sends no byte, so it can run
// while a print job or another program has the printer.
#pragma once

#include <string>
#include <vector>

namespace kestrava {

enum class Verdict { ok, problem, note };

// "ok", "problem", "note": the words the text and the JSON show.
const char* verdictName(Verdict verdict);

struct CheckLine {
  std::string subject;  // what the line is about: "USB", "printer 1-2", "udev rule"
  Verdict verdict = Verdict::ok;
  std::string finding;   // what the system shows, in a sentence
  std::string nextStep;  // the one thing to do; empty on a line that asks for nothing
};

struct MachineCheck {
  std::string system;  // "linux" or "windows"
  std::vector<CheckLine> lines;
  int printersSeen = 0;  // USB devices (or printer interfaces) of vendor 0x232B

  void add(std::string subject, Verdict verdict, std::string finding, std::string nextStep = {}) {
    lines.push_back({std::move(subject), verdict, std::move(finding), std::move(nextStep)});
  }
  int problems() const;
};

// 0: a printer is seen and nothing stands in the way; 2: no printer of the vendor is seen
// (USB itself may be out of sight); 6: a printer is seen but something stands in the way.
int checkExitStatus(const MachineCheck& check);

// One block per line ("ok       USB: ..." and "         next: ..."), then a summary.
std::string checkAsText(const MachineCheck& check);

// {"system", "lines": [{"subject", "verdict", "finding", "nextStep"}], "printersSeen",
//  "problems", "outcome", "exitStatus", and the format members}, one line.
std::string checkAsJson(const MachineCheck& check);

// The check of the machine this runs on.
MachineCheck checkThisMachine();

}  // namespace kestrava
