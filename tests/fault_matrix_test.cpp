// A hostile printer: every fault kind at every request of a healthy run of each
// consumable set. Every run must end "done" with both buttons back, and only the items
// that depend on the faulty request may differ from the healthy run. Under the sanitizer
// build this also shows that no fault reads or writes past a buffer or leaks.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

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
      : values{{"model", dialog.m_model},           {"build", dialog.m_build},
               {"fwVersion", dialog.m_fwVersion},   {"serialNumber", dialog.m_serialNumber},
               {"report", dialog.m_report},         {"status", dialog.m_status}} {}
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
  const std::pair<const char*, FaultKind> kinds[] = {
      {"no reply", FaultKind::noReply},         {"short reply", FaultKind::shortReply},
      {"wrong echo", FaultKind::wrongEcho},     {"status 0", FaultKind::status0},
      {"status 2", FaultKind::badStatus},       {"short data phase", FaultKind::shortData},
      {"length 0xFFFF", FaultKind::hugeLength}, {"file size 0xFFFFFFFF", FaultKind::hugeFileSize},
      {"connection lost", FaultKind::disconnect},
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
      for (const auto& [kindName, kind] : kinds) {
        SCOPED_TRACE(std::string(setName) + ", " + kindName + " at request " + std::to_string(k) + " (" +
                     faulty.data + ")");
        Scenario scenario = healthyScenario;
        scenario.faults = {makeFault(kind, static_cast<std::uint32_t>(k))};
        RunResult result;
        run(scenario, result);
        ++runs;

        EXPECT_EQ(toUtf8(result.dialog.m_status), "done");
        EXPECT_TRUE(result.dialog.getDataEnabled && result.dialog.closeEnabled);
        EXPECT_TRUE(result.protocolErrors.empty());
        EXPECT_NE(result.dialog.m_report.find(u"ProgID: 3.36.2.60113\r\n"), std::u16string::npos);

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
  EXPECT_GT(runs, 200u);
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
