#include "dialog_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace kestrava::testing {

ProgramOutcome runProgram(const std::string& program, const std::string& arguments, const std::string& environment) {
  ProgramOutcome outcome;
  char errName[] = "/tmp/kestrava-desktop-err-XXXXXX";
  int errFd = ::mkstemp(errName);
  if (errFd < 0) return outcome;
  ::close(errFd);
  std::string command = environment + " " + program + " " + arguments + " 2>" + errName + " </dev/null";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
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
  return outcome;
}

}  // namespace kestrava::testing
