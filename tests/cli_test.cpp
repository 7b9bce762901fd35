// kestrava-cli as a user runs it: its output and exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <sys/wait.h>

namespace kestrava {
namespace {

struct Outcome {
  std::string out;
  int status = -1;
};

Outcome runCli(const std::string& arguments) {
  Outcome outcome;
  std::string command = std::string(KESTRAVA_CLI) + " " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return outcome;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
  int raw = ::pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

TEST(Cli, StatusesAndExitCodes) {
  struct Case {
    const char* arguments;
    const char* lastLine;
    int status;
  };
  const Case cases[] = {
      {"--device virtual", "done", 0},
      {"--device 'tcp://127.0.0.1:1/vid_232b&pid_0ef5'", "connect to printer failed", 3},
      {"--device tcp://127.0.0.1:9100/nothing", "printer not found", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = runCli(c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    ASSERT_FALSE(outcome.out.empty());
    std::string text = outcome.out.substr(0, outcome.out.size() - 1);
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), c.lastLine);
  }
}

TEST(Cli, UsageErrorsExit64) {
  for (const char* arguments : {"--bogus", "--device nowhere", "--device virtual:/no/such/file.json", "--device tcp://x"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(runCli(arguments).status, 64);
  }
}

}  // namespace
}  // namespace kestrava
