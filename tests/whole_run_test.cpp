// Whole runs as users see them: kestrava-cli against the virtual printer and against a
// printer on TCP, and the run in process for what only the dialog can see.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "base/version.h"
#include "run/acquisition_thread.h"
#include "cli_support.h"
#include "recording_dialog.h"
#include "test_support.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using json = nlohmann::ordered_json;  // members in the order printed
using testing::runCli;

json runJson(const std::string& device, int status = 0) {
  testing::CliOutcome outcome = runCli("--json --device '" + device + "'");
  EXPECT_EQ(outcome.status, status) << outcome.err;
  return json::parse(outcome.out);
}

const char* const kHealthyReport =
    "Model: P3301DN (232B0EF5) (Pantum P3301/Gorilla-SFP-MB-A)\r\n"
    "S/N: CN3A012345\r\n"
    "FW version: 3.3.8.1\r\n"
    "Engine version: 1.2.15\r\n"
    "Build:  2021-03-16 14:02\r\n"
    "Ram size: 128Mb\r\n"
    "Black toner remain: 80%\r\n"
    "Drum remain: 64%\r\n"
    "ProgID: " KESTRAVA_VERSION_TEXT "\r\n";

TEST(WholeRun, JsonOfEveryKindOfPrinter) {
  struct Case {
    const char* device;
    const char* model;
    const char* build;
    const char* fwVersion;
    const char* serialNumber;
    std::string report;
    int status = 0;
  };
  const Case cases[] = {
      {"virtual", "Pantum P3301/Gorilla-SFP-MB-A", " 2021-03-16 14:02", "3.3.8.1", "CN3A012345", kHealthyReport},
      {"virtual:virtual/scenarios/colour.json", "Pantum CP1100DN/DW/Tiger-SFP_3.E", " 2022-08-30", "3.E.0.12",
       "CP7X004711",
       "Model: CP1100DN (232BA413) (Pantum CP1100DN/DW/Tiger-SFP_3.E)\r\nS/N: CP7X004711\r\nFW version: 3.E.0.12\r\n"
       "Engine version: 2.0.3\r\nBuild:  2022-08-30\r\nRam size: 256Mb\r\nBlack toner remain: 91%\r\n"
       "Cyan toner remain: 47%\r\nMagenta toner remain: 12%\r\nYellow toner remain: "
       "3%\r\nProgID: " KESTRAVA_VERSION_TEXT "\r\n"},
      {"virtual:virtual/scenarios/name-only.json", "unsupported yet", "2023-04-11 [rel]", "4.A.1.3", "M67P0000001",
       "Model: M6700DW Plus (232B0F3A) (unsupported yet)\r\nS/N: M67P0000001\r\nFW version: 4.A.1.3\r\n"
       "Engine version: 3.1.0\r\nBuild: 2023-04-11 [rel]\r\nRam size: 256Mb\r\nBlack toner remain: 100%\r\n"
       "Drum remain: 100%\r\nProgID: " KESTRAVA_VERSION_TEXT "\r\n"},
      {"virtual:virtual/scenarios/unknown-model.json", "unsupported yet", "2019-01-01", "1.0.0.1", "X0821",
       "Model: undefined (232B0821) (unsupported yet)\r\nS/N: X0821\r\nFW version: 1.0.0.1\r\n"
       "Engine version: undefined\r\nBuild: 2019-01-01\r\nRam size: N/A\r\nBlack toner remain: 50%\r\n"
       "Drum remain: 4294967295%\r\nProgID: " KESTRAVA_VERSION_TEXT "\r\n"},
      {"virtual:virtual/scenarios/mute.json", "unsupported yet", "undefined", "undefined", "undefined",
       "undefinedProgID: " KESTRAVA_VERSION_TEXT "\r\n", 5},
      {"virtual:virtual/scenarios/failing-rule.json", "unsupported yet", "2020-11-02 [b77]", "undefined", "BP2W001234",
       "Model: BP2300W (232B0841) (unsupported yet) [EVER]\r\nS/N: BP2W001234\r\nFW version: undefined\r\n"
       "Engine version: undefined\r\nBuild: 2020-11-02 [b77]\r\nRam size: 64Mb\r\nBlack toner remain: 55%\r\n"
       "Drum remain: 70%\r\nProgID: " KESTRAVA_VERSION_TEXT "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    std::string device = c.device;
    if (device.rfind("virtual:", 0) == 0) device = "virtual:" + testing::sourcePath(device.substr(8));
    json result = runJson(device, c.status);
    // The six members of the dialog come first, as other tools read them; behind them
    // what the run read, and what wrote it.
    std::vector<std::string> members;
    for (const auto& member : result.items()) members.push_back(member.key());
    EXPECT_EQ(members,
              (std::vector<std::string>{"status", "model", "build", "fwVersion", "serialNumber", "report", "device",
                                        "outcome", "exitStatus", "printer", "formatVersion", "tool", "toolVersion"}));
    EXPECT_EQ(result["status"], "done");
    EXPECT_EQ(result["model"], c.model);
    EXPECT_EQ(result["build"], c.build);
    EXPECT_EQ(result["fwVersion"], c.fwVersion);
    EXPECT_EQ(result["serialNumber"], c.serialNumber);
    EXPECT_EQ(result["report"], c.report);
  }
}

TEST(WholeRun, OverTcpTheSameAsInProcess) {
  virtualprinter::TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
  server.start();
  json result = runJson("tcp://127.0.0.1:" + std::to_string(server.port()) + "/vid_232b&pid_0ef5");
  server.stop();
  EXPECT_EQ(result["report"], kHealthyReport);
  EXPECT_EQ(result["model"], "Pantum P3301/Gorilla-SFP-MB-A");
  ASSERT_TRUE(server.lastPrinter());
  EXPECT_TRUE(server.lastPrinter()->protocolErrors().empty());
}

TEST(WholeRun, TextOutputForPeople) {
  testing::CliOutcome outcome = runCli("--device virtual");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out,
            "Model:         Pantum P3301/Gorilla-SFP-MB-A\n"
            "Build:          2021-03-16 14:02\n"
            "FW version:    3.3.8.1\n"
            "Serial number: CN3A012345\n"
            "\n"
            "Model: P3301DN (232B0EF5) (Pantum P3301/Gorilla-SFP-MB-A)\n"
            "S/N: CN3A012345\nFW version: 3.3.8.1\nEngine version: 1.2.15\nBuild:  2021-03-16 14:02\n"
            "Ram size: 128Mb\nBlack toner remain: 80%\nDrum remain: 64%\nProgID: " KESTRAVA_VERSION_TEXT
            "\n"
            "\n"
            "done\n");
  EXPECT_EQ(outcome.err, "");  // no progress when stderr is not a terminal
}

// What the printer was asked in one run, as "command data" texts.
std::vector<std::string> askedOf(const virtualprinter::VirtualPrinter& printer, unsigned session) {
  std::vector<std::string> asked;
  for (const auto& request : printer.requests()) {
    if (request.session != session) continue;
    char code[8];
    std::snprintf(code, sizeof code, "%04X", request.command);
    asked.push_back(std::string(code) + " " + request.data);
  }
  return asked;
}

TEST(WholeRun, NothingAnsweredIsAskedTwiceAndASecondRunAsksAnew) {
  struct Case {
    const char* name;
    virtualprinter::Scenario scenario;
    std::size_t requests;
  };
  const Case cases[] = {
      // busybox, firmware version, /etc/version, serial, engine, memory, toner, drum
      {"mono with drum", virtualprinter::healthyMonoPrinter(), 8},
      // firmware version, /etc/version, serial, engine, memory, four toners
      {"colour", virtualprinter::loadScenario(testing::sourcePath("virtual/scenarios/colour.json")), 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualBackend backend(c.scenario);
    testing::RecordingDialog first, second;
    AcquisitionThread(first, backend);
    AcquisitionThread(second, backend);
    std::vector<std::string> asked = askedOf(backend.printer(), 1);
    EXPECT_EQ(asked.size(), c.requests);
    EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), asked.size());
    EXPECT_EQ(askedOf(backend.printer(), 2), asked);
    EXPECT_EQ(second.m_report, first.m_report);
    EXPECT_EQ(second.m_model, first.m_model);
    EXPECT_EQ(toUtf8(second.m_status), "done");
  }
}

TEST(WholeRun, EachFieldIsShownTheMomentItIsKnown) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  testing::RecordingDialog dialog;
  AcquisitionThread(dialog, backend);
  const std::vector<std::string> expected = {
      "enable getData 0",
      "enable close 0",
      "update model=|build=|fw=|sn=|report=|status=",
      "update model=|build=|fw=|sn=|report=|status=acquiring data...",
      "update model=Pantum P3301/Gorilla-SFP-MB-A|build=|fw=|sn=|report=|status=acquiring data...",
      "update model=Pantum P3301/Gorilla-SFP-MB-A|build= 2021-03-16 14:02|fw=|sn=|report=|status=acquiring data...",
      "update model=Pantum P3301/Gorilla-SFP-MB-A|build= 2021-03-16 14:02|fw=3.3.8.1|sn=|report=|status=acquiring "
      "data...",
      "update model=Pantum P3301/Gorilla-SFP-MB-A|build= 2021-03-16 "
      "14:02|fw=3.3.8.1|sn=CN3A012345|report=|status=acquiring data...",
      std::string(
          "update model=Pantum P3301/Gorilla-SFP-MB-A|build= 2021-03-16 14:02|fw=3.3.8.1|sn=CN3A012345|report=") +
          kHealthyReport + "|status=acquiring data...",
      std::string(
          "update model=Pantum P3301/Gorilla-SFP-MB-A|build= 2021-03-16 14:02|fw=3.3.8.1|sn=CN3A012345|report=") +
          kHealthyReport + "|status=done",
      "enable getData 1",
      "enable close 1",
  };
  EXPECT_EQ(dialog.log, expected);
}

}  // namespace
}  // namespace kestrava
