// The frame of an acquisition run: buttons, emptied fields, status, and the end of the
// run on every path.
#include <gtest/gtest.h>

#include "run/acquisition_thread.h"
#include "recording_dialog.h"
#include "test_support.h"

namespace kestrava {
namespace {

using virtualprinter::Scenario;

TEST(RunFrame, EndsWithTheStatusOfTheOpen) {
  Scenario otherVendor = testing::emptyScenario();
  otherVendor.vendorId = 0x04F9;
  Scenario busy = testing::emptyScenario();
  busy.openFails = "read";
  struct Case {
    const char* name;
    Scenario scenario;
    const char* status;
    unsigned sessions;
  };
  const Case cases[] = {
      {"healthy printer", virtualprinter::healthyMonoPrinter(), "done", 1},
      {"no printer of the vendor", otherVendor, "printer not found", 0},
      {"pipe held elsewhere", busy, "connect to printer failed", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualBackend backend(c.scenario);
    testing::RecordingDialog dialog;
    dialog.m_model = u"old model";
    dialog.m_report = u"old report";
    dialog.m_status = u"Ready.";
    EXPECT_EQ(AcquisitionThread(dialog, backend), 0u);

    ASSERT_GE(dialog.log.size(), 7u);
    EXPECT_EQ(dialog.log[0], "enable getData 0");
    EXPECT_EQ(dialog.log[1], "enable close 0");
    // The five data fields are emptied; the status is kept until the busy text.
    EXPECT_EQ(dialog.log[2], "update model=|build=|fw=|sn=|report=|status=Ready.");
    EXPECT_EQ(dialog.log[3], "update model=|build=|fw=|sn=|report=|status=acquiring data...");
    std::size_t n = dialog.log.size();
    EXPECT_EQ(dialog.log[n - 3].substr(dialog.log[n - 3].find("status=")), std::string("status=") + c.status);
    EXPECT_EQ(dialog.log[n - 2], "enable getData 1");
    EXPECT_EQ(dialog.log[n - 1], "enable close 1");
    EXPECT_EQ(toUtf8(dialog.m_status), c.status);
    EXPECT_EQ(backend.printer().sessions(), c.sessions);
  }
}

TEST(RunFrame, NotFoundSendsNothingAndLeavesTheFieldsEmpty) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.devicePath = "\\\\?\\usb#vid_04f9&pid_0ef5#1";
  VirtualBackend backend(scenario);
  testing::RecordingDialog dialog;
  AcquisitionThread(dialog, backend);
  EXPECT_EQ(backend.printer().requestCount(), 0u);
  EXPECT_EQ(dialog.log.size(), 7u);
  EXPECT_TRUE(dialog.m_model.empty() && dialog.m_build.empty() && dialog.m_fwVersion.empty() &&
              dialog.m_serialNumber.empty() && dialog.m_report.empty());
}

// Whether the printer answered anything is the run's to say, not the status text's: the
// dialogs show "done" either way.
TEST(RunFrame, OutcomeTellsAMutePrinterFromOneThatAnswered) {
  Scenario mute = testing::emptyScenario();
  mute.faults.push_back(virtualprinter::makeFault(virtualprinter::FaultKind::noReply));  // to any request
  Scenario muteWithStaleBytes = mute;
  muteWithStaleBytes.staleBytes = std::string(300, 'x');  // left from an earlier exchange: drained, no answer
  // Every request but the second goes unanswered.
  Scenario partial = virtualprinter::healthyMonoPrinter();
  for (std::uint32_t request = 1; request <= 40; ++request) {
    if (request != 2) partial.faults.push_back(virtualprinter::makeFault(virtualprinter::FaultKind::noReply, request));
  }
  struct Case {
    const char* name;
    Scenario scenario;
    RunOutcome outcome;
    bool answered;
  };
  const Case cases[] = {
      {"healthy printer", virtualprinter::healthyMonoPrinter(), RunOutcome::done, true},
      {"mute printer", mute, RunOutcome::printerSilent, false},
      {"mute printer with stale bytes", muteWithStaleBytes, RunOutcome::printerSilent, false},
      {"one answer in the whole run", partial, RunOutcome::done, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualBackend backend(c.scenario);
    testing::RecordingDialog dialog;
    RunRecord record;
    EXPECT_EQ(runAcquisition(dialog, backend, record), c.outcome);
    EXPECT_EQ(dialog.m_status, u"done");
    EXPECT_TRUE(record.linkOpened);
    EXPECT_EQ(record.printerAnswered, c.answered);
  }
}

}  // namespace
}  // namespace kestrava
