// Runs kestrava-cli as a user would, for the end-to-end tests.
#pragma once

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

}  // namespace kestrava::testing
