// A hostile printer: every fault kind at every request of a healthy run of each
// consumable set. Every run must end "done" with both buttons back, and only the items
// that depend on the faulty request may differ from the healthy run. Under the sanitizer
// build this also shows that no fault reads or writes past a buffer or leaks.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>

#include "base/version.h"
#include "run/acquisition_thread.h"
#include "recording_dialog.h"
#include "test_support.h"

namespace kestrava {
namespace {

using virtualprinter::FaultKind;
using virtualprinter::makeFault;
using virtualprinter::ReceivedRequest;
using virtualprinter::Scenario;

struct Fields {
  std::map<std::string, std::u16string> values;
  explicit Fields(const AcquisitionDialog& dialog)
      : values{{"model", dialog.m_model},         {"build", dialog.m_build},
               {"fwVersion", dialog.m_fwVersion}, {"serialNumber", dialog.m_serialNumber},
               {"report", dialog.m_report},       {"status", dialog.m_status}} {}
};

// The dialog fields a request feeds, besides the report, which every request feeds.
std::set<std::string> fieldsFedBy(const ReceivedRequest& request) {
  const std::string& data = request.data;
  auto asks = [&data](const char* oid) { return data.find(oid) != std::string::npos; };
  if (request.command == aclcmd::fileRead && data == "/bin/busybox") return {"model"};
  if (request.command == aclcmd::fileRead && data == "/etc/version") return {"build", "model"};
  if (request.command == aclcmd::buildInfo || asks("OID_PLATFORM_PRODUCT_DATE")) return {"build", "model"};
  if (request.command == aclcmd::firmwareVersion || asks("OID_PLATFORM_FW_VERSION")) return {"fwVersion", "model"};
  if (request.command == aclcmd::serialNumber || asks("OID_PLATFORM_PRODUCT_SERIAL_NUM")) return {"serialNumber"};
  if (request.command == aclcmd::ramSize || asks("OID_MEMORY_TOTAL_SIZE_IN_MBYTES")) return {"model"};
  return {};
}

struct RunResult {
  testing::RecordingDialog dialog;
  std::vector<ReceivedRequest> requests;
  std::vector<std::string> protocolErrors;
};

void run(const Scenario& scenario, RunResult& result) {
  VirtualBackend backend(scenario);
  AcquisitionThread(result.dialog, backend);
  result.requests = backend.printer().requests();
  result.protocolErrors = backend.printer().protocolErrors();
}

Scenario scenarioFile(const char* name) {
  return virtualprinter::loadScenario(testing::sourcePath(std::string("virtual/scenarios/") + name));
}

TEST(FaultMatrix, EveryFaultAtEveryRequestOfEverySet) {
  const std::pair<const char*, Scenario> sets[] = {
      {"mono with drum", virtualprinter::healthyMonoPrinter()},
      {"mono", scenarioFile("mono.json")},
      {"colour", scenarioFile("colour.json")},
  };
  struct Kind {
    const char* name;
    FaultKind kind;
    std::uint32_t delayMs = 0;
  };
  // Late replies come on the printer's clock (right after the host's read gave up), so
  // they cost no time here.
  const Kind kinds[] = {
      {"no reply", FaultKind::noReply},
      {"short reply", FaultKind::shortReply},
      {"wrong echo", FaultKind::wrongEcho},
      {"status 0", FaultKind::status0},
      {"status 2", FaultKind::badStatus},
      {"short data phase", FaultKind::shortData},
      {"length 0xFFFF", FaultKind::hugeLength},
      {"file size 0xFFFFFFFF", FaultKind::hugeFileSize},
      {"connection lost", FaultKind::disconnect},
      {"reply 0.3 s late", FaultKind::lateReply, 300},
      {"reply 1 s late", FaultKind::lateReply, 1000},
      {"reply split, its rest 5.5 s later", FaultKind::splitReply},
      {"data phase split, its rest 5.5 s later", FaultKind::splitData},
  };
  std::size_t runs = 0;
  for (const auto& [setName, healthyScenario] : sets) {
    RunResult healthy;
    run(healthyScenario, healthy);
    ASSERT_EQ(toUtf8(healthy.dialog.m_status), "done") << setName;
    ASSERT_TRUE(healthy.protocolErrors.empty());
    Fields expected(healthy.dialog);

    for (std::size_t k = 1; k <= healthy.requests.size(); ++k) {
      const ReceivedRequest& faulty = healthy.requests[k - 1];
      for (const auto& [kindName, kind, delayMs] : kinds) {
        SCOPED_TRACE(std::string(setName) + ", " + kindName + " at request " + std::to_string(k) + " (" + faulty.data +
                     ")");
        Scenario scenario = healthyScenario;
        scenario.faults = {makeFault(kind, static_cast<std::uint32_t>(k))};
        if (delayMs != 0) scenario.faults[0].delayMs = delayMs;
        RunResult result;
        run(scenario, result);
        ++runs;

        EXPECT_EQ(toUtf8(result.dialog.m_status), "done");
        EXPECT_TRUE(result.dialog.getDataEnabled && result.dialog.closeEnabled);
        EXPECT_TRUE(result.protocolErrors.empty());
        EXPECT_NE(result.dialog.m_report.find(u"ProgID: " KESTRAVA_VERSION_TEXT "\r\n"), std::u16string::npos);

        // A lost connection takes every later request with it.
        std::set<std::string> mayDiffer{"report"};
        std::size_t last = kind == FaultKind::disconnect ? healthy.requests.size() : k;
        for (std::size_t i = k; i <= last; ++i) {
          for (const std::string& field : fieldsFedBy(healthy.requests[i - 1])) mayDiffer.insert(field);
        }
        Fields got(result.dialog);
        for (const auto& [field, value] : expected.values) {
          if (mayDiffer.count(field) == 0) {
            EXPECT_EQ(toUtf8(got.values[field]), toUtf8(value)) << field;
          }
        }
      }
    }
  }
  EXPECT_GT(runs, 290u);
}

// What a mute printer, a late one or one that splits a reply costs, on the printer's
// clock: each time-out or short reply is followed by one wait for late bytes before the
// next request, and nothing else.
TEST(HostilePrinter, TimeOutsCostAtMostAQuarterMore) {
  struct Case {
    const char* name;
    Scenario scenario;
    std::chrono::milliseconds atLeast, atMost;
  };
  Scenario late = virtualprinter::healthyMonoPrinter();
  late.faults = {makeFault(FaultKind::lateReply)};
  late.faults[0].target = "OID_PLATFORM_ENG_FW_VERSION.0";
  Scenario split = virtualprinter::healthyMonoPrinter();
  split.faults = {makeFault(FaultKind::splitReply)};
  split.faults[0].target = "OID_PLATFORM_ENG_FW_VERSION.0";
  const Case cases[] = {
      // A mute P3301DN: sixteen reads time out (80 s before late replies were cleared).
      {"mute", scenarioFile("mute.json"), std::chrono::seconds(80), std::chrono::seconds(100)},
      {"healthy", virtualprinter::healthyMonoPrinter(), std::chrono::milliseconds(100), std::chrono::milliseconds(100)},
      {"one late reply", late, std::chrono::milliseconds(5400), std::chrono::milliseconds(6500)},
      // A reply cut in two: the rest of its read and the late-reply second, then the next.
      {"one split reply", split, std::chrono::milliseconds(5500), std::chrono::milliseconds(6500)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualBackend backend(c.scenario);
    testing::RecordingDialog dialog;
    const auto start = backend.now();
    AcquisitionThread(dialog, backend);
    const auto took = backend.now() - start;
    EXPECT_EQ(toUtf8(dialog.m_status), "done");
    EXPECT_GE(took, c.atLeast);
    EXPECT_LE(took, c.atMost);
  }
}

// The late reply of the engine version (a printer waking from sleep): every other item is
// what the healthy printer gives, where it used to shift by one answer.
TEST(HostilePrinter, ALateReplyNeverLandsInAnotherItem) {
  RunResult healthy;
  run(virtualprinter::healthyMonoPrinter(), healthy);
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.faults = {makeFault(FaultKind::lateReply)};
  scenario.faults[0].target = "OID_PLATFORM_ENG_FW_VERSION.0";
  RunResult result;
  run(scenario, result);
  EXPECT_EQ(toUtf8(result.dialog.m_status), "done");
  std::u16string expected = healthy.dialog.m_report;
  const std::u16string engine = u"1.2.15";
  ASSERT_NE(expected.find(engine), std::u16string::npos);
  expected.replace(expected.find(engine), engine.size(), u"undefined");
  EXPECT_EQ(toUtf8(result.dialog.m_report), toUtf8(expected));
}

// A printer that trickles /etc/version (announced as 64 MiB, 5120 bytes every 4.5 s): the
// run ends "done" once the data phases had their 60 s, not after sixteen hours.
TEST(HostilePrinter, ATricklingPrinterEndsWithinTheBound) {
  RunResult healthy;
  run(virtualprinter::healthyMonoPrinter(), healthy);
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.faults = {makeFault(FaultKind::trickle)};
  scenario.faults[0].target = "/etc/version";
  VirtualBackend backend(scenario);
  testing::RecordingDialog dialog;
  const auto start = backend.now();
  AcquisitionThread(dialog, backend);
  const auto took = backend.now() - start;
  EXPECT_EQ(toUtf8(dialog.m_status), "done");
  EXPECT_GE(took, PrinterDevice::kDataPhaseBudget);
  EXPECT_LE(took, PrinterDevice::kDataPhaseBudget + std::chrono::seconds(10));
  EXPECT_TRUE(backend.printer().protocolErrors().empty());
  // Only what the version file feeds may differ.
  EXPECT_EQ(toUtf8(dialog.m_fwVersion), toUtf8(healthy.dialog.m_fwVersion));
  EXPECT_EQ(toUtf8(dialog.m_serialNumber), toUtf8(healthy.dialog.m_serialNumber));
  EXPECT_EQ(toUtf8(dialog.m_build), "undefined");
}

TEST(HostilePrinter, LargestAnswersAndAChattyPrinter) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.files["/etc/version"] = std::string(10 * 1024 * 1024, 'v') + "\nDATA: 2021\n";
  scenario.oids["OID_PLATFORM_PRODUCT_SERIAL_NUM.0"] = std::string(65535, 's');
  RunResult result;
  run(scenario, result);
  EXPECT_EQ(toUtf8(result.dialog.m_status), "done");
  EXPECT_EQ(toUtf8(result.dialog.m_build), "undefined");  // the file does not fit its 1024 bytes
  EXPECT_EQ(result.dialog.m_serialNumber.size(), 65535u);

  // A printer that keeps talking: the drain gives up after its bound, the rest of the
  // chatter spoils the answers, and the run still ends.
  Scenario chatty = virtualprinter::healthyMonoPrinter();
  chatty.staleBytes = std::string(1 << 20, '~');
  RunResult spoiled;
  run(chatty, spoiled);
  EXPECT_EQ(toUtf8(spoiled.dialog.m_status), "done");
  EXPECT_TRUE(spoiled.dialog.getDataEnabled && spoiled.dialog.closeEnabled);
  EXPECT_EQ(toUtf8(spoiled.dialog.m_fwVersion), "undefined");
}

}  // namespace
}  // namespace kestrava
