// Traces: recorded runs replay to the same six fields; a changed request is named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/version.h"
#include "cli_support.h"
#include "test_support.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using testing::runCli;

std::string tempName(const std::string& stem) {
  return (std::filesystem::temp_directory_path() / ("kestrava-" + stem + "-" + std::to_string(::getpid()))).string();
}

// A kept output as this build writes it: the program's version in it (toolVersion, the
// report's ProgID) is the one of the build that recorded it, and the trace beside it,
// the printer's side only, holds none.
std::string withThisVersion(std::string output) {
  std::smatch recorded;
  if (!std::regex_search(output, recorded, std::regex(R"re("toolVersion":"([0-9.]+)")re"))) {
    ADD_FAILURE() << "no toolVersion in " << output;
    return output;
}
const std::string version = recorded[1].str();
std::string result;
std::size_t from = 0;
for (std::size_t at; (at = output.find(version, from)) != std::string::npos; from = at + version.size()) {
  result += output.substr(from, at - from) + KESTRAVA_VERSION_TEXT;
}
return result + output.substr(from);
}

TEST(Replay, EveryKeptTraceGivesItsFields) {
  std::size_t traces = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::sourcePath("tests/traces"))) {
    if (entry.path().extension() != ".trace") continue;
    ++traces;
    SCOPED_TRACE(entry.path().filename().string());
    testing::CliOutcome outcome = runCli("--json --device 'replay:" + entry.path().string() + "'");
    // The mute printer's trace ends "done" like every other, with the status of its own.
    int expectedStatus = entry.path().stem() == "mute" ? 5 : 0;
    EXPECT_EQ(outcome.status, expectedStatus) << outcome.err;
    std::filesystem::path expected = entry.path();
    expected.replace_extension(".json");
    EXPECT_EQ(outcome.out, withThisVersion(testing::fileText(expected.string())));
  }
  EXPECT_GE(traces, 4u);
}

TEST(Replay, RecordedAgainstVirtualAndTcpPrintersReplaysTheSame) {
  virtualprinter::TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
  server.start();
  const std::string devices[] = {
      "virtual",
      "virtual:" + testing::sourcePath("virtual/scenarios/colour.json"),
      "tcp://127.0.0.1:" + std::to_string(server.port()) + "/vid_232b&pid_0ef5",
  };
  for (const std::string& device : devices) {
    SCOPED_TRACE(device);
    std::string trace = tempName("trace");
    testing::CliOutcome recorded = runCli("--json --trace '" + trace + "' --dump --device '" + device + "'");
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_NE(recorded.err.find("write 34 bytes"), std::string::npos);  // the dump asked for on stderr
    testing::CliOutcome replayed = runCli("--json --device 'replay:" + trace + "'");
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(replayed.out, recorded.out);
    std::remove(trace.c_str());
  }
  server.stop();
}

// A trace is written on the printer's clock and replayed on the trace's: every timing
// fault (no reply, a late one, a split one, a trickle) replays to the same run.
TEST(Replay, EveryTimingFaultReplaysToTheSameRun) {
  const std::pair<const char*, const char*> faults[] = {
      {"no reply", R"({"kind": "noReply", "request": 3})"},
      {"mute", R"({"kind": "noReply"})"},
      {"late reply", R"({"kind": "lateReply", "target": "OID_PLATFORM_ENG_FW_VERSION.0", "delayMs": 900})"},
      {"split reply", R"({"kind": "splitReply", "request": 2})"},
      {"split data phase", R"({"kind": "splitData", "target": "OID_PLATFORM_PRODUCT_SERIAL_NUM.0"})"},
      {"trickle", R"({"kind": "trickle", "target": "/etc/version"})"},
  };
  const std::string healthy = testing::fileText(testing::sourcePath("virtual/scenarios/mono.json"));
  ASSERT_EQ(healthy.rfind('}'), healthy.size() - 2) << "the scenario ends with \"}\\n\"";
  for (const auto& [name, fault] : faults) {
    SCOPED_TRACE(name);
    const std::string scenario = tempName("fault.json");
    std::ofstream(scenario, std::ios::binary)
        << healthy.substr(0, healthy.size() - 2) << ", \"faults\": [" << fault << "]}\n";
    const std::string trace = tempName("fault.trace");
    testing::CliOutcome recorded = runCli("--json --trace '" + trace + "' --device 'virtual:" + scenario + "'");
    ASSERT_TRUE(recorded.status == 0 || recorded.status == 5) << recorded.err;
    testing::CliOutcome replayed = runCli("--json --device 'replay:" + trace + "'");
    EXPECT_EQ(replayed.status, recorded.status) << replayed.err;
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_EQ(replayed.err, recorded.err);
    std::remove(scenario.c_str());
    std::remove(trace.c_str());
  }
}

TEST(Replay, AChangedRequestIsNamed) {
  // The second request of the healthy run (after the busybox read) asks for the firmware
  // version by OID; the trace now says another byte was sent there.
  std::string text = testing::fileText(testing::sourcePath("tests/traces/healthy-mono.trace"));
  const std::string asked = "3c212d2d237373692030204f49445f504c4154464f524d5f46575f56455253494f4e2e30202d2d3e";
  std::size_t at = text.find(asked);
  ASSERT_NE(at, std::string::npos);
  text[at + 70] = '4';  // byte 35, the index digit '0' (0x30), becomes 0x40
  std::string trace = tempName("changed");
  std::ofstream(trace, std::ios::binary) << text;
  testing::CliOutcome outcome = runCli("--device 'replay:" + trace + "'");
  std::remove(trace.c_str());
  EXPECT_EQ(outcome.status, 4);
  EXPECT_TRUE(std::regex_search(
      outcome.err, std::regex("replay: request 2 .*first differing byte 35: 0x30 where the trace has 0x40")))
      << outcome.err;
}

TEST(Replay, ARunThatStopsEarlyOrATraceThatIsCutDiffer) {
  std::string text = testing::fileText(testing::sourcePath("tests/traces/healthy-mono.trace"));
  std::string cut = tempName("cut");
  std::ofstream(cut, std::ios::binary) << text.substr(0, text.rfind("write"));
  testing::CliOutcome outcome = runCli("--device 'replay:" + cut + "'");
  EXPECT_EQ(outcome.status, 4);
  EXPECT_NE(outcome.err.find("after the end of the trace"), std::string::npos) << outcome.err;

  std::ofstream(cut, std::ios::binary) << text << "read 9.000000 16 5000 ok 0\n";
  outcome = runCli("--device 'replay:" + cut + "'");
  EXPECT_EQ(outcome.status, 4);
  EXPECT_NE(outcome.err.find("1 more operations"), std::string::npos) << outcome.err;
  std::remove(cut.c_str());
}

TEST(Replay, MalformedTracesAreUsageErrors) {
  const char* bad[] = {"", "not a trace\n", "kestrava-trace 1\nwrite 0.1 ok 2 abc\n",
                       "kestrava-trace 1\nread 0.000001 4 100 ok 5 0102030405\n", "kestrava-trace 1\njump 1\n"};
  std::string trace = tempName("bad");
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    std::ofstream(trace, std::ios::binary) << text;
    testing::CliOutcome outcome = runCli("--device 'replay:" + trace + "'");
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("trace"), std::string::npos);
  }
  std::remove(trace.c_str());
}

}  // namespace
}  // namespace kestrava
