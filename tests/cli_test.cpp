// kestrava-cli as a user runs it: its output and exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "base/version.h"
#include "cli_support.h"
#include "test_support.h"
#include "virtual/scenario.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using testing::runCli;
using testing::runCliOnTerminal;
using Outcome = testing::CliOutcome;
using json = nlohmann::ordered_json;

std::string scenario(const char* name) {
  return "virtual:" + testing::sourcePath(std::string("virtual/scenarios/") + name);
}

// Two printers on one bench: a mono printer and a colour printer.
std::string twoPrinters() {
  return "virtual:" + testing::sourcePath("virtual/scenarios/mono.json") + "," +
         testing::sourcePath("virtual/scenarios/colour.json");
}

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t found = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++found;
  return found;
}

TEST(Cli, StatusesAndExitCodes) {
  struct Case {
    std::string arguments;
    const char* lastLine;
    int status;
  };
  const Case cases[] = {
      {"--device virtual", "done", 0},
      {"--device 'tcp://127.0.0.1:1/vid_232b&pid_0ef5'", "connect to printer failed", 3},
      {"--device 'tcp://127.0.0.1:9100/vid_1234&pid_0001'", "printer not found", 2},
      // The pipes opened, nothing came back: the run ends "done" like the dialog's, with a
      // status of its own.
      {"--device '" + scenario("mute.json") + "'", "done", 5},
      // Some items answered, some not: a partial answer is still an answer.
      {"--device '" + scenario("failing-rule.json") + "'", "done", 0},
      {"--device '" + scenario("unknown-model.json") + "'", "done", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = runCli(c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    ASSERT_FALSE(outcome.out.empty());
    std::string text = outcome.out.substr(0, outcome.out.size() - 1);
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), c.lastLine);
    EXPECT_EQ(outcome.err.find("the printer answered none of Kestrava's requests") != std::string::npos, c.status == 5)
        << outcome.err;
  }
}

TEST(Cli, UsageErrorsExit64) {
  for (const char* arguments : {"--bogus", "--device nowhere", "--device virtual:/no/such/file.json",
                                "--device tcp://x", "--all --trace /tmp/kestrava-all.trace --device virtual",
                                "--dump --device virtual", "--progress --quiet --device virtual"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(runCli(arguments).status, 64);
  }
}

// A TCP printer that cannot be reached, or none at all: the reason and what to check, on
// stderr. A device path cut at its "&" by an unquoted shell line is a usage error that
// shows the form.
TEST(Cli, AnUnreachableTcpPrinterSaysWhy) {
  struct Case {
    std::string arguments;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"--device 'tcp://127.0.0.1:1/vid_232b&pid_0ef5'", 3,
       "kestrava-cli: cannot connect to 127.0.0.1:1: Connection refused; check that the printer is on"},
      {"--device 'tcp://no-such-printer.invalid:9100/vid_232b&pid_0ef5'", 3,
       "kestrava-cli: cannot find the host no-such-printer.invalid: "},
      // What the program gets from `kestrava-cli --device tcp://127.0.0.1:9100/vid_232b&pid_0ef5`.
      {"--device tcp://127.0.0.1:9100/vid_232b", 64,
       "has no product id: give the printer's ids, as in 'tcp://127.0.0.1:9100/vid_232b&pid_0ef5'"},
      {"--device 'tcp://127.0.0.1:9100/vid_232b&pid_'", 64, "has no product id"},
      // A path of another vendor: no cable or power changes that, the path given does.
      {"--device 'tcp://127.0.0.1:9100/vid_1234&pid_0001'", 2,
       "kestrava-cli: the device path vid_1234&pid_0001 does not name vendor 0x232B (vid_232b): give the "
       "printer's own path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = runCli(c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
  }
}

TEST(Cli, HelpIsWrappedBetweenWordsAndListsExamplesAndEveryStatus) {
  Outcome outcome = runCli("--help");
  ASSERT_EQ(outcome.status, 0);
  std::istringstream lines(outcome.out);
  std::string line;
  while (std::getline(lines, line)) EXPECT_LE(line.size(), 79u) << line;
  // Texts that a break at a fixed column used to cut in two.
  for (const char* whole : {"virtual:FILE.json[,FILE.json...]", "tcp://HOST:PORT/PATH", "replay:TRACE", "--all"}) {
    EXPECT_NE(outcome.out.find(whole), std::string::npos) << whole;
  }
  std::size_t examples = outcome.out.find("Examples:");
  ASSERT_NE(examples, std::string::npos);
  EXPECT_EQ(outcome.out.find("  kestrava-cli", examples),
            outcome.out.find("  kestrava-cli --device virtual\n", examples));
  std::size_t statuses = outcome.out.find("Exit status:");
  ASSERT_NE(statuses, std::string::npos);
  for (const char* status : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  64 ", "\n  74 "}) {
    EXPECT_NE(outcome.out.find(status, statuses), std::string::npos) << status;
  }
}

TEST(Cli, AllReadsEveryPrinterOneRunEach) {
  Outcome text = runCli("--all --device '" + twoPrinters() + "'");
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(count(text.out, "\n== "), 1u);  // the second heading; the first opens the output
  EXPECT_EQ(text.out.rfind("== ", 0), 0u);
  EXPECT_NE(text.out.find("Model: M2022 (232BCA31)"), std::string::npos);
  EXPECT_NE(text.out.find("Model: CP1100DN (232BA413)"), std::string::npos);
  EXPECT_LT(text.out.find("pid_ca31"), text.out.find("pid_a413"));
  EXPECT_EQ(count(text.out, "\ndone\n"), 2u);

  Outcome jsonOut = runCli("--all --json --device '" + twoPrinters() + "'");
  EXPECT_EQ(jsonOut.status, 0);
  json runs = json::parse(jsonOut.out);
  ASSERT_TRUE(runs.is_array());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0]["printer"]["modelName"], "M2022");
  EXPECT_EQ(runs[1]["printer"]["modelName"], "CP1100DN");
  EXPECT_NE(runs[0]["device"].get<std::string>().find("pid_ca31"), std::string::npos);
  EXPECT_NE(runs[1]["device"].get<std::string>().find("pid_a413"), std::string::npos);
  EXPECT_EQ(runs[1]["printer"]["levels"].size(), 4u);
}

TEST(Cli, AllTellsWhichPrinterDidNotAnswer) {
  Outcome outcome = runCli("--all --json --device '" + twoPrinters() + "," +
                           testing::sourcePath("virtual/scenarios/mute.json") + "'");
  EXPECT_EQ(outcome.status, 5);
  json runs = json::parse(outcome.out);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0]["exitStatus"], 0);
  EXPECT_EQ(runs[1]["exitStatus"], 0);
  EXPECT_EQ(runs[2]["exitStatus"], 5);
  EXPECT_EQ(runs[2]["printer"]["answered"], false);
  EXPECT_NE(outcome.err.find("pid_0ef5"), std::string::npos) << outcome.err;
}

// A printer's section does not depend on its place in the list: each runs on its own
// clock. A trickling printer's file read stops after the same pieces in every place.
TEST(Cli, AllRunsEachPrinterOnItsOwnClock) {
  const std::string mono = testing::fileText(testing::sourcePath("virtual/scenarios/mono.json"));
  const std::string trickle =
      (std::filesystem::temp_directory_path() / ("kestrava-trickle-" + std::to_string(::getpid()) + ".json")).string();
  std::ofstream(trickle, std::ios::binary)
      << mono.substr(0, mono.rfind('}')) << R"(, "faults": [{"kind": "trickle", "target": "/etc/version"}]})";
  const std::string colour = testing::sourcePath("virtual/scenarios/colour.json");
  auto pieces = [](const std::string& arguments) {
    Outcome outcome = runCli("--trace " + arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return count(outcome.err, "read  5120 of 5120 bytes");
  };
  const std::size_t alone = pieces("--device 'virtual:" + trickle + "'");
  EXPECT_GT(alone, 5u);
  EXPECT_LT(alone, 20u);  // sixty seconds of pieces 4.5 s apart
  EXPECT_EQ(pieces("--all --device 'virtual:" + colour + "," + trickle + "'"), alone);
  EXPECT_EQ(pieces("--all --device 'virtual:" + trickle + "," + colour + "'"), alone);
  std::remove(trickle.c_str());
}

TEST(Cli, AllWithoutAPrinter) {
  Outcome jsonOut = runCli("--all --json --device usb:nothing-attached");
  EXPECT_EQ(jsonOut.status, 2);
  EXPECT_EQ(jsonOut.out, "[]\n");
  Outcome text = runCli("--all --device usb:nothing-attached");
  EXPECT_EQ(text.status, 2);
  EXPECT_EQ(text.out, "printer not found\n");
  // The next step: --check, or where USB is out of sight altogether, where to run instead.
  EXPECT_TRUE(text.err.find("kestrava-cli --check says what this system sees") != std::string::npos ||
              text.err.find("/dev/bus/usb does not exist") != std::string::npos)
      << text.err;
}

TEST(Cli, ListNamesEachPrinter) {
  Outcome text = runCli("--list --device '" + twoPrinters() + "'");
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(count(text.out, "\n"), 2u);
  EXPECT_NE(text.out.find("* \\\\?\\usb#vid_232b&pid_ca31#"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("}  M2022\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("}  CP1100DN\n"), std::string::npos) << text.out;

  Outcome unknown = runCli("--list --device '" + scenario("unknown-model.json") + "'");
  EXPECT_NE(unknown.out.find("product id 0x0821 is not in the model table"), std::string::npos) << unknown.out;

  Outcome nothing = runCli("--list --device usb:nothing-attached");
  EXPECT_EQ(nothing.status, 0);
  EXPECT_EQ(nothing.out, "no printer interface is attached\n");
}

TEST(Cli, ListAsJson) {
  Outcome outcome = runCli("--list --json --device '" + twoPrinters() + "'");
  EXPECT_EQ(outcome.status, 0);
  json interfaces = json::parse(outcome.out);
  ASSERT_EQ(interfaces.size(), 2u);
  EXPECT_EQ(interfaces[0]["vendor232B"], true);
  EXPECT_EQ(interfaces[0]["productId"], 0xCA31);
  EXPECT_EQ(interfaces[0]["modelName"], "M2022");
  EXPECT_EQ(interfaces[1]["modelName"], "CP1100DN");
  EXPECT_TRUE(interfaces[1]["path"].is_string());

  // A printer enumerated beside other printer-class interfaces, and a product id the
  // table does not know.
  std::string scenarioFile =
      std::filesystem::temp_directory_path() / ("kestrava-list-" + std::to_string(::getpid()) + ".json");
  std::FILE* file = std::fopen(scenarioFile.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(R"({"productId": "0x0821", "otherInterfaces": ["\\\\?\\usb#vid_04b8&pid_0005#x"]})", file);
  std::fclose(file);
  json mixed = json::parse(runCli("--list --json --device 'virtual:" + scenarioFile + "'").out);
  std::remove(scenarioFile.c_str());
  ASSERT_EQ(mixed.size(), 2u);
  EXPECT_EQ(mixed[0].dump(), R"({"path":"\\\\?\\usb#vid_04b8&pid_0005#x","vendor232B":false,"formatVersion":1,)"
                             R"("tool":"kestrava-cli","toolVersion":")" KESTRAVA_VERSION_TEXT R"("})");
  EXPECT_EQ(mixed[1]["productId"], 0x0821);
  EXPECT_TRUE(mixed[1]["modelName"].is_null());

  EXPECT_EQ(runCli("--list --json --device usb:nothing-attached").out, "[]\n");
}

// The fields as the terminal shows them while the run works, in the order they come.
const char* const kFieldsOnTerminal[] = {"acquiring data...", "Model:         Pantum P3301/Gorilla-SFP-MB-A",
                                         "Build:          2021-03-16 14:02", "FW version:    3.3.8.1",
                                         "Serial number: CN3A012345"};

void expectFieldsInOrder(const std::string& shown) {
  std::size_t at = 0;
  for (const char* field : kFieldsOnTerminal) {
    std::size_t found = shown.find(field, at);
    EXPECT_NE(found, std::string::npos) << field << " missing or out of order in:\n" << shown;
    if (found != std::string::npos) at = found;
  }
}

std::string tempName(const std::string& stem) {
  return (std::filesystem::temp_directory_path() / ("kestrava-" + stem + "-" + std::to_string(::getpid()))).string();
}

// On a terminal the progress is one line rewritten with carriage returns; its last state
// is erased ("\r", spaces, "\r") before the result prints, so the terminal ends clean.
bool endsErased(const std::string& shown) {
  if (shown.size() < 2 || shown.back() != '\r') return false;
  std::size_t start = shown.find_last_not_of(' ', shown.size() - 2);
  return start != std::string::npos && shown[start] == '\r' && start < shown.size() - 2;
}

TEST(Cli, ProgressOnATerminalIsOneLineErasedBeforeTheResult) {
  Outcome terminal = runCliOnTerminal("--device virtual");
  EXPECT_EQ(terminal.status, 0);
  EXPECT_NE(terminal.err.find("\rasking the printer for the firmware version (request "), std::string::npos)
      << terminal.err;
  EXPECT_EQ(terminal.err.find('\n'), std::string::npos) << terminal.err;  // one line, nothing shown twice
  EXPECT_TRUE(endsErased(terminal.err)) << terminal.err;
  EXPECT_EQ(terminal.out.substr(terminal.out.size() - 5), "done\n");

  Outcome asJson = runCliOnTerminal("--json --device virtual");
  EXPECT_TRUE(endsErased(asJson.err)) << asJson.err;
  EXPECT_EQ(asJson.out.front(), '{');

  Outcome quiet = runCliOnTerminal("--quiet --device virtual");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");

  Outcome piped = runCli("--json --device virtual");
  EXPECT_EQ(piped.err, "");

  // Asked for, into a file or a pipe: a line per field as the run learns it.
  Outcome asked = runCli("--progress --json --device virtual");
  expectFieldsInOrder(asked.err);
  EXPECT_EQ(asked.err.find("Ram size"), std::string::npos);  // the report is the output, not progress
  EXPECT_EQ(asked.err.find('\r'), std::string::npos);
}

TEST(Cli, ASlowReadSaysWhatItWaitsFor) {
  // A printer that answers nothing, on TCP, where the run waits out every read.
  virtualprinter::TcpPrinterServer server(
      virtualprinter::loadScenario(testing::sourcePath("virtual/scenarios/mute.json")));
  server.start();
  std::string device = "'tcp://127.0.0.1:" + std::to_string(server.port()) + "/vid_232b&pid_0ef5'";
  // The first request of a P3301DN's run is the read of the head of /bin/busybox.
  Outcome live = runCliOnTerminal(
      "--device " + device, [](const std::string& shown) { return shown.find("Ctrl+C stops") != std::string::npos; });
  EXPECT_NE(live.err.find("\rno answer yet for the machine type (/bin/busybox): request 1 of about 16, "
                          "at most about 9"),
            std::string::npos)
      << live.err;
  // With the trace dump on the terminal too, plain lines that do not tear the dump's.
  std::string trace = tempName("slow-read.trace");
  Outcome lines = runCliOnTerminal("--progress --dump --trace '" + trace + "' --device " + device,
                                   [](const std::string& shown) { return shown.find(" s)") != std::string::npos; });
  std::remove(trace.c_str());
  server.stop();
  EXPECT_NE(lines.err.find("acquiring data..."), std::string::npos) << lines.err;
  EXPECT_NE(lines.err.find("waiting for the file /bin/busybox (at most 5 s)"), std::string::npos) << lines.err;
}

TEST(Cli, ATraceForABugReportKeepsTheTerminalQuiet) {
  std::string trace = tempName("bug-report.trace");
  Outcome recorded = runCliOnTerminal("--json --trace '" + trace + "' --device virtual");
  EXPECT_EQ(recorded.status, 0);
  EXPECT_EQ(recorded.err.find("write 34 bytes"), std::string::npos) << recorded.err;
  EXPECT_LE(count(recorded.err, "\n"), 6u) << recorded.err;  // the busy status and the four fields
  Outcome replayed = runCli("--json --device 'replay:" + trace + "'");
  std::remove(trace.c_str());
  EXPECT_EQ(replayed.status, 0) << replayed.err;
  EXPECT_EQ(replayed.out, recorded.out);

  Outcome dumped = runCli("--trace --device virtual");
  EXPECT_NE(dumped.err.find("write 34 bytes"), std::string::npos);
}

}  // namespace
}  // namespace kestrava
