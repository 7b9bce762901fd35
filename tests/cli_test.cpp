// kestrava-cli as a user runs it: its output and exit status.
#include <gtest/gtest.h>

#include <string>

#include "cli_support.h"

namespace kestrava {
namespace {

using testing::runCli;
using Outcome = testing::CliOutcome;

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
