// The scenario parser on any bytes a user may hand `--device virtual:FILE`: it either
// gives a scenario within the bounds or throws std::runtime_error; it never crashes,
// recurses without bound or takes memory beyond them. A parsed scenario is served to a
// whole run, so what the parser lets through is what the printer side must survive.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "run/acquisition_thread.h"
#include "virtual/scenario.h"
#include "virtual/virtual_backend.h"

#include "app/cli/cli_dialog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrava::virtualprinter;
  Scenario scenario;
  try {
    scenario = parseScenario(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const std::runtime_error&) {
    return 0;
  }
  std::size_t total = scenario.staleBytes.size();
  for (const auto& [name, answer] : scenario.oids) total += answer.size();
  for (const auto& [path, contents] : scenario.files) {
    if (contents.size() > kMaxAnswerBytes) __builtin_trap();
    total += contents.size();
  }
  if (total > kMaxScenarioBytes) __builtin_trap();
  // Small scenarios are served to a whole run; a slow printer's delay is left out, and
  // the in-process printer answers a mute read at once.
  if (total > 65536) return 0;
  scenario.replyDelayMs = 0;
  kestrava::VirtualBackend backend(std::move(scenario));
  kestrava::CliDialog dialog;
  (void)kestrava::runAcquisition(dialog, backend);
  return 0;
}
