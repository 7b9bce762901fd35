// kestrava-cli when things go wrong around the run: outside text in its messages never
// reaches the terminal raw or at length, and output that could not be written is an error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli_support.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

std::string tempPath(const std::string& name) {
  return (fs::temp_directory_path() / ("kestrava-" + std::to_string(::getpid()) + "-" + name)).string();
}

std::string written(const std::string& name, const std::string& text) {
  std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Every message that carries text from a file, a trace or a printer shows its control
// characters visibly and cuts what is too long.
TEST(CliFailures, OutsideTextInMessagesIsVisibleAndCut) {
  const std::string title = "\x1B]0;owned\x07\x1B[31m";
  const std::string shown = "\\x1B]0;owned\\x07\\x1B[31m";
  const std::string mute = R"({"devicePath": "vid_232b&pid_0ef5#\u001b]0;owned\u0007\u001b[31m",
                                "otherInterfaces": ["\u001b]0;owned\u0007\u001b[31m"],
                                "faults": [{"kind": "noReply"}]})";
  const std::string muteFile = written("mute.json", mute);
  const std::string badKey = written("bad-key.json", R"({"oids": {}, "\u001b]0;owned\u0007\u001b[31m": 1})");
  const std::string badLine = written("bad-line.trace", "kestrava-trace 1\n" + title + " 1\n");
  const std::string longLine = written("long-line.trace", "kestrava-trace 1\n" + std::string(20u << 20, 'x') + "\n");
  // A trace of the mute printer, replayed against a path it did not record.
  const std::string trace = tempPath("mute.trace");
  testing::CliOutcome recorded = testing::runCli("--device 'virtual:" + muteFile + "' --trace '" + trace + "'");
  ASSERT_EQ(recorded.status, 5) << recorded.err;
  std::string recordedTrace;
  {
    std::ifstream in(trace, std::ios::binary);
    recordedTrace.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string otherPath = "%1B]0;owned%07%1B[31m%0A";
  std::string mismatched = recordedTrace;
  const std::size_t open = mismatched.find("open ");
  ASSERT_NE(open, std::string::npos);
  const std::size_t pathStart = mismatched.find(" ", mismatched.find(" ok ", open) + 1) + 1;
  mismatched.replace(pathStart, mismatched.find('\n', pathStart) - pathStart, otherPath);
  const std::string mismatchFile = written("mismatch.trace", mismatched);

  struct Case {
    std::string arguments;
    int status;
    std::string expected;  // a piece of stderr
    std::size_t errAtMost = 4000;
  };
  const Case cases[] = {
      {"--all --device 'virtual:" + muteFile + "'", 5, "#" + shown + ": the printer answered none"},
      // The dump is long by nature: a mute printer's whole run.
      {"--trace --device 'virtual:" + muteFile + "'", 5, "interface " + shown, 100000},
      {"--trace --device 'virtual:" + muteFile + "'", 5, "open PIPE00 vid_232b&pid_0ef5#" + shown, 100000},
      {"--device 'virtual:" + badKey + "'", 64, "unknown member \"" + shown + "\""},
      {"--device 'replay:" + badLine + "'", 64, "unknown line \"" + shown + "\""},
      {"--device 'replay:" + longLine + "'", 64, "unknown line \"xxxxxxxx"},
      {"--device 'replay:" + mismatchFile + "'", 4, "where the trace opens PIPE00 \"" + shown + "\\x0A\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    testing::CliOutcome run = testing::runCli(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1B'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
    EXPECT_LT(run.err.size(), c.errAtMost);
  }
  for (const std::string& path : {muteFile, badKey, badLine, longLine, trace, mismatchFile}) fs::remove(path);
}

// A full disk: nothing written is no success.
TEST(CliFailures, OutputThatCannotBeWrittenIsAnError) {
  struct Case {
    std::string arguments;
    std::string expected;
  };
  const Case cases[] = {
      {"--device virtual --trace /dev/full", "cannot write trace file \"/dev/full\": No space left on device"},
      {"--device virtual --trace /dev/full --json", "cannot write trace file \"/dev/full\": No space left on device"},
      {"--device virtual --json >/dev/full", "cannot write the output: No space left on device"},
      {"--device virtual >/dev/full", "cannot write the output: No space left on device"},
      {"--device virtual --list >/dev/full", "cannot write the output: No space left on device"},
      {"--device virtual --list --json >/dev/full", "cannot write the output: No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    testing::CliOutcome run = testing::runCli(c.arguments);
    EXPECT_EQ(run.status, 74) << run.err;
    EXPECT_NE(run.err.find("kestrava-cli: " + c.expected), std::string::npos) << run.err;
  }
  // The JSON names the status it ends with.
  testing::CliOutcome json = testing::runCli("--device virtual --trace /dev/full --json");
  EXPECT_NE(json.out.find("\"exitStatus\":74"), std::string::npos) << json.out;
}

}  // namespace
}  // namespace kestrava
