// The run session both windows use: its rules once, on a user-interface thread and
// worker threads the test drives itself, with the virtual printer behind every run.
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "device/printer_device.h"
#include "link/cancellable_backend.h"
#include "recording_dialog.h"
#include "run/acquisition_thread.h"
#include "run/run_session.h"
#include "virtual/scenario.h"
#include "virtual/virtual_backend.h"

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far longer than a run against the virtual printer takes on a busy machine.
constexpr auto kWaitLimit = 30s;

// The toolkit of a window, driven by the test: a started worker runs when the test says
// so (or when it is joined, as a thread that runs to its end), and what is handed to the
// user-interface thread waits in a queue until the test runs it.
class FakeToolkit {
 public:
  struct Worker {
    std::function<void()> work;
    bool ran = false;
    bool joined = false;
    void run() {
      if (ran) return;
      ran = true;
      work();
    }
  };

  bool refuseThreads = false;
  std::vector<std::shared_ptr<Worker>> workers;

  RunSessionSeams seams() {
    return {[this](std::function<void()> work) -> std::unique_ptr<RunThread> {
              if (refuseThreads) return nullptr;
              workers.push_back(std::make_shared<Worker>(Worker{std::move(work)}));
              return std::make_unique<Handle>(workers.back());
            },
            [this](std::function<void()> action) {
              std::lock_guard<std::mutex> lock(mutex_);
              posted_.push_back(std::move(action));
            }};
  }

  // Runs what was handed to the user-interface thread, in order, until `until` holds
  // after one of them or the queue is empty; returns how many ran.
  std::size_t runPosted(const std::function<bool()>& until = nullptr) {
    std::size_t ran = 0;
    for (;;) {
      std::function<void()> action;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (posted_.empty()) return ran;
        action = std::move(posted_.front());
        posted_.pop_front();
      }
      action();
      ++ran;
      if (until && until()) return ran;
    }
  }

  std::size_t postedCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_.size();
  }

 private:
  class Handle : public RunThread {
   public:
    explicit Handle(std::shared_ptr<Worker> worker) : worker_(std::move(worker)) {}
    void join() override {
      worker_->run();
      worker_->joined = true;
    }

   private:
    std::shared_ptr<Worker> worker_;
  };

  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
};

// A window that records what reached it.
class TestWindow : public testing::Recording<RunWindow> {
 public:
  TestWindow() { m_status = kReadyStatus; }

  std::vector<std::string> hints;  // every ShowFailureHint
  int joined = 0;

  void ShowFailureHint(const std::string& hint) override { hints.push_back(hint); }
  void OnRunJoined() override { ++joined; }
};

RunSession::PrinterSource printerFor(UsbBackend& backend) {
  return [&backend] { return std::make_unique<ForwardingBackend>(backend); };
}

const std::vector<std::string> kGreyButtons = {"enable getData 0", "enable close 0"};

TEST(RunSession, StartGreysTheButtonsFirstAndTheRunReachesTheWindowOnlyOnItsThread) {
  struct Case {
    const char* name;
    virtualprinter::Scenario scenario;
    const char16_t* status;
  };
  virtualprinter::Scenario otherVendor = virtualprinter::healthyMonoPrinter();
  otherVendor.vendorId = 0x04F9;
  const Case cases[] = {
      {"healthy printer", virtualprinter::healthyMonoPrinter(), u"done"},
      {"no printer of the vendor", otherVendor, u"printer not found"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    // What the run shows, from the same printer without a session.
    VirtualBackend referencePrinter(test.scenario);
    testing::RecordingDialog expected;
    expected.m_status = kReadyStatus;
    runAcquisition(expected, referencePrinter);
    ASSERT_EQ(expected.m_status, test.status);

    VirtualBackend printer(test.scenario);
    TestWindow window;
    FakeToolkit toolkit;
    RunSession session(window, toolkit.seams(), printerFor(printer));
    ASSERT_TRUE(session.start());
    // Grey before the worker has done anything, the last hint hidden.
    EXPECT_EQ(window.log, kGreyButtons);
    EXPECT_EQ(window.hints, std::vector<std::string>{""});
    ASSERT_EQ(toolkit.workers.size(), 1u);
    EXPECT_FALSE(toolkit.workers[0]->ran);
    EXPECT_TRUE(session.active());
    EXPECT_TRUE(session.inProgress());

    // The worker touches nothing of the window itself.
    toolkit.workers[0]->run();
    EXPECT_EQ(window.log, kGreyButtons);
    EXPECT_EQ(window.m_status, u"Ready.");

    toolkit.runPosted();
    std::vector<std::string> shown = kGreyButtons;
    shown.insert(shown.end(), expected.log.begin(), expected.log.end());
    EXPECT_EQ(window.log, shown);
    EXPECT_EQ(window.m_model, expected.m_model);
    EXPECT_EQ(window.m_report, expected.m_report);
    EXPECT_EQ(window.m_status, test.status);
    EXPECT_TRUE(window.getDataEnabled && window.closeEnabled);
    EXPECT_FALSE(session.active());
    EXPECT_FALSE(session.inProgress());
    EXPECT_TRUE(toolkit.workers[0]->joined);
    EXPECT_EQ(window.joined, 1);
  }
}

TEST(RunSession, OneRunAtATimeUntilTheRunGivesCloseBack) {
  VirtualBackend printer(virtualprinter::healthyMonoPrinter());
  TestWindow window;
  FakeToolkit toolkit;
  RunSession session(window, toolkit.seams(), printerFor(printer));
  ASSERT_TRUE(session.start());
  EXPECT_FALSE(session.start());
  toolkit.workers[0]->run();
  // The worker is done, but the window has not seen "Close" come back yet.
  EXPECT_FALSE(session.start());
  toolkit.runPosted([&] { return window.getDataEnabled; });
  EXPECT_FALSE(session.start());
  EXPECT_EQ(toolkit.workers.size(), 1u);
  EXPECT_EQ(printer.printer().sessions(), 1u);

  // "Close" given back means idle: the next press joins the last worker and starts a run.
  toolkit.runPosted([&] { return window.closeEnabled; });
  EXPECT_FALSE(session.active());
  EXPECT_TRUE(session.inProgress());
  ASSERT_TRUE(session.start());
  EXPECT_TRUE(toolkit.workers[0]->joined);
  EXPECT_EQ(window.joined, 1);
  ASSERT_EQ(toolkit.workers.size(), 2u);
  toolkit.workers[1]->run();
  toolkit.runPosted();
  EXPECT_EQ(printer.printer().sessions(), 2u);
  EXPECT_EQ(window.m_status, u"done");
  EXPECT_EQ(window.joined, 2);
  EXPECT_FALSE(session.inProgress());
}

TEST(RunSession, ARunsHintReachesOnlyItsOwnWindowState) {
  virtualprinter::Scenario otherVendor = virtualprinter::healthyMonoPrinter();
  otherVendor.vendorId = 0x04F9;
  VirtualBackend printer(otherVendor);
  TestWindow window;
  FakeToolkit toolkit;
  int hintsMade = 0;
  RunSession session(window, toolkit.seams(), printerFor(printer),
                     [&hintsMade](RunOutcome outcome, const RunRecord&, const UsbBackend&) {
                       EXPECT_EQ(outcome, RunOutcome::printerNotFound);
                       return "hint of run " + std::to_string(++hintsMade);
                     });
  ASSERT_TRUE(session.start());
  toolkit.workers[0]->run();
  // The first run gives "Close" back; its end is still queued when the next run starts.
  toolkit.runPosted([&] { return window.closeEnabled; });
  ASSERT_GT(toolkit.postedCount(), 0u);
  ASSERT_TRUE(session.start());
  toolkit.runPosted();
  // The late end of the first run showed nothing: the second run cleared the hint.
  EXPECT_EQ(window.hints, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(window.joined, 1);

  toolkit.workers[1]->run();
  toolkit.runPosted();
  EXPECT_EQ(window.hints, (std::vector<std::string>{"", "", "hint of run 2"}));
  EXPECT_EQ(window.joined, 2);
}

TEST(RunSession, StoppingMidRunCancelsAndNothingMoreReachesTheWindow) {
  for (bool destroyed : {false, true}) {
    SCOPED_TRACE(destroyed ? "session destroyed" : "session stopped");
    VirtualBackend printer(virtualprinter::healthyMonoPrinter());
    TestWindow window;
    FakeToolkit toolkit;
    auto session = std::make_unique<RunSession>(window, toolkit.seams(), printerFor(printer));
    ASSERT_TRUE(session->start());
    // The worker gets to run only once the window is closing: everything it does meets the
    // cancelled back end.
    if (destroyed) {
      session.reset();
    } else {
      session->stop();
      EXPECT_FALSE(session->inProgress());
      EXPECT_FALSE(session->active());
    }
    EXPECT_TRUE(toolkit.workers[0]->joined);
    EXPECT_EQ(window.joined, 1);
    EXPECT_EQ(printer.printer().sessions(), 0u);
    EXPECT_GT(toolkit.runPosted(), 0u);
    EXPECT_EQ(window.log, kGreyButtons);
    EXPECT_EQ(window.m_status, u"Ready.");
    EXPECT_EQ(window.hints.size(), 1u);
  }
}

// A back end whose listing throws: the exception ends the run, not the program.
class ThrowingBackend : public UsbBackend {
 public:
  std::vector<std::u16string> interfacePaths() override { throw std::runtime_error("listing broke"); }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string&, PipeEnd) override { return nullptr; }
};

TEST(RunSession, AnExceptionEndsTheRunAndTheWindowGoesOn) {
  ThrowingBackend printer;
  TestWindow window;
  FakeToolkit toolkit;
  RunSession session(window, toolkit.seams(), printerFor(printer));
  ASSERT_TRUE(session.start());
  toolkit.workers[0]->run();
  toolkit.runPosted();
  ASSERT_EQ(window.hints.size(), 2u);
  EXPECT_EQ(window.hints[1], RunSession::internalErrorHint("listing broke"));
  EXPECT_EQ(window.m_status, u"Ready.");
  EXPECT_TRUE(window.getDataEnabled && window.closeEnabled);
  EXPECT_FALSE(session.active());
  EXPECT_FALSE(session.inProgress());
}

TEST(RunSession, NoThreadMeansNoRunAndTheButtonsComeBack) {
  VirtualBackend printer(virtualprinter::healthyMonoPrinter());
  TestWindow window;
  FakeToolkit toolkit;
  toolkit.refuseThreads = true;
  RunSession session(window, toolkit.seams(), printerFor(printer));
  EXPECT_FALSE(session.start());
  EXPECT_TRUE(window.getDataEnabled && window.closeEnabled);
  EXPECT_FALSE(session.active());
  EXPECT_FALSE(session.inProgress());
  EXPECT_EQ(toolkit.postedCount(), 0u);
  EXPECT_EQ(printer.printer().sessions(), 0u);
}

// Real threads from here on: the worker blocks in a read of a printer that answers a
// minute late, and the cancel has to reach into that read.
constexpr std::uint32_t kMinuteLate = 60000;
// Half of the read's own time-out, which a run that only stopped after the read in flight
// would wait out: wide enough for a busy machine, and a read left to run fails it.
constexpr auto kPromptly = std::chrono::milliseconds(PrinterDevice::kReadTimeoutMs / 2);

virtualprinter::Scenario minuteLatePrinter() {
  virtualprinter::Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.replyDelayMs = kMinuteLate;
  return scenario;
}

bool waitFor(const std::function<bool()>& condition) {
  const Clock::time_point end = Clock::now() + kWaitLimit;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(RunSession, ACancelDuringABlockedReadEndsTheRunAtOnceAsACancelledRun) {
  VirtualBackend printer(minuteLatePrinter());
  CancellableBackend backend(printer);
  testing::RecordingDialog dialog;
  RunOutcome outcome = RunOutcome::done;
  std::thread worker([&] { outcome = runAcquisition(dialog, backend); });
  // The first request is out: the run now waits for its reply.
  ASSERT_TRUE(waitFor([&] { return printer.printer().requestCount() >= 1; }));
  const Clock::time_point cancelled = Clock::now();
  backend.cancel();
  worker.join();
  EXPECT_LT(Clock::now() - cancelled, kPromptly);
  EXPECT_EQ(printer.printer().requestCount(), 1u);

  // A cancelled run is a run whose printer stopped answering: "done", nothing learned.
  EXPECT_EQ(outcome, RunOutcome::printerSilent);
  EXPECT_EQ(dialog.m_status, u"done");
  for (const std::u16string* field : {&dialog.m_build, &dialog.m_fwVersion, &dialog.m_serialNumber}) {
    EXPECT_EQ(*field, u"undefined");
  }
  EXPECT_TRUE(dialog.getDataEnabled && dialog.closeEnabled);
}

TEST(RunSession, StoppingDuringABlockedReadJoinsTheWorkerAtOnce) {
  VirtualBackend printer(minuteLatePrinter());
  TestWindow window;
  FakeToolkit toolkit;
  RunSessionSeams seams = toolkit.seams();
  class StdThread : public RunThread {
   public:
    explicit StdThread(std::function<void()> work) : thread_(std::move(work)) {}
    void join() override { thread_.join(); }

   private:
    std::thread thread_;
  };
  seams.startThread = [](std::function<void()> work) { return std::make_unique<StdThread>(std::move(work)); };
  RunSession session(window, seams, printerFor(printer));
  ASSERT_TRUE(session.start());
  ASSERT_TRUE(waitFor([&] { return printer.printer().requestCount() >= 1; }));
  // The window shows the busy status; the run is in its first read.
  toolkit.runPosted();
  EXPECT_EQ(window.m_status, u"acquiring data...");
  const std::vector<std::string> shown = window.log;

  const Clock::time_point stopping = Clock::now();
  session.stop();
  EXPECT_LT(Clock::now() - stopping, kPromptly);
  EXPECT_FALSE(session.inProgress());
  EXPECT_EQ(printer.printer().requestCount(), 1u);
  toolkit.runPosted();
  EXPECT_EQ(window.log, shown);
  EXPECT_FALSE(window.getDataEnabled || window.closeEnabled);
}

}  // namespace
}  // namespace kestrava
