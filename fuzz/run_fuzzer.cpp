// The whole acquisition run, with every byte the printer sends taken from the input.
#include <cstdio>

#include "run/acquisition_thread.h"
#include "app/cli/cli_dialog.h"
#include "fuzz_backend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrava;
  fuzzing::FuzzInput input(data, size);
  char path[32];
  std::snprintf(path, sizeof path, "vid_232b&pid_%04x", input.take16());
  std::u16string devicePath(path, path + std::char_traits<char>::length(path));
  fuzzing::FuzzBackend backend(input, devicePath);
  CliDialog dialog;
  // An open link always ends "done", whether or not the printer answered.
  RunOutcome outcome = runAcquisition(dialog, backend);
  if (outcome != RunOutcome::done && outcome != RunOutcome::printerSilent) __builtin_trap();
  return 0;
}
