// Runs kestrava-cli as a user would, for the end-to-end tests.
#pragma once

#include <functional>
#include <string>

namespace kestrava::testing {

struct CliOutcome {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs the binary with the arguments given (already quoted for the shell) and waits for it
// to end, a minute at most: a run still going then is killed and reported in `err`.
CliOutcome runCli(const std::string& arguments);

// The same for another program of the build (kestrava-virtual-printer).
CliOutcome runCommand(const std::string& program, const std::string& arguments);

// Runs the binary with its stderr on a pseudo-terminal, as at a technician's terminal;
// `err` is what the terminal showed. When `enough` accepts the terminal's text so far,
// the program is stopped there (status -1); otherwise it runs to its end, at most 60 s.
CliOutcome runCliOnTerminal(const std::string& arguments, const std::function<bool(const std::string&)>& enough = {});

}  // namespace kestrava::testing
