#include "cli_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace kestrava::testing {

namespace {

// A run that does not end within this is stopped (timeout's status 124): far longer than
// any run here takes on a busy machine, and short of the test's own limit, so that the
// test says which run hung.
constexpr const char* kDeadline = "timeout -k 5 60 ";
constexpr int kTimedOut = 124;

}  // namespace

CliOutcome runCli(const std::string& arguments) {
  CliOutcome outcome;
  char errName[] = "/tmp/kestrava-cli-err-XXXXXX";
  int errFd = ::mkstemp(errName);
  if (errFd < 0) return outcome;
  ::close(errFd);
  std::string command = kDeadline + std::string(KESTRAVA_CLI) + " " + arguments + " 2>" + errName;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
    int raw = ::pclose(pipe);
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::ifstream err(errName);
  std::stringstream text;
  text << err.rdbuf();
  outcome.err = text.str();
  std::remove(errName);
  if (outcome.status == kTimedOut) outcome.err += "kestrava-cli " + arguments + ": did not end within 60 s\n";
  return outcome;
}

}  // namespace kestrava::testing
