// The Linux dialog under the offscreen platform, with a virtual printer behind it.
#include <atomic>
#include <thread>

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "run/acquisition_thread.h"
#include "app/qt/kestrava_dialog.h"
#include "dialog_support.h"
#include "recording_dialog.h"
#include "virtual/virtual_backend.h"
#include "virtual/scenario.h"

namespace kestrava {
namespace {

using virtualprinter::Scenario;

constexpr int kRunLimitMs = testing::kDialogRunLimitMs;
using Controls = testing::DialogControls;

std::u16string shown(const QLabel* label) { return label->text().toStdU16String(); }

Scenario slowPrinter(std::uint32_t replyDelayMs) {
  Scenario scenario = virtualprinter::healthyMonoPrinter();
  scenario.replyDelayMs = replyDelayMs;
  return scenario;
}

bool waitForRunEnd(CKestravaDlg& dialog) {
  if (!dialog.runInProgress()) return true;
  QSignalSpy ended(&dialog, &CKestravaDlg::runEnded);
  return ended.wait(kRunLimitMs);
}

TEST(Dialog, OpensReadyWithEmptyFields) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  ASSERT_TRUE(c.model && c.build && c.fwVersion && c.serialNumber && c.status && c.report && c.getData && c.close);

  EXPECT_EQ(dialog.windowTitle(), "Kestrava 3.36.2");
  EXPECT_EQ(c.status->text(), "Ready.");
  EXPECT_EQ(dialog.m_status, u"Ready.");
  for (QLabel* value : {c.model, c.build, c.fwVersion, c.serialNumber}) EXPECT_TRUE(value->text().isEmpty());
  EXPECT_TRUE(c.report->toPlainText().isEmpty());
  EXPECT_EQ(c.getData->text(), "Get data");
  EXPECT_EQ(c.close->text(), "Close");
  EXPECT_TRUE(c.getData->isEnabled() && c.close->isEnabled());
  EXPECT_EQ(dialog.focusWidget(), c.report);
  EXPECT_FALSE(dialog.windowIcon().isNull());

  // Fixed size, minimizable, never maximized.
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

  // The report box is read-only, wraps at its edge and has no scroll bars.
  EXPECT_TRUE(c.report->isReadOnly());
  EXPECT_EQ(c.report->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(c.report->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(c.report->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(c.report->geometry().bottom() < c.getData->geometry().top());
}

TEST(Dialog, ValueFieldsShowTheirTextAsItIs) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  QRect before = c.build->geometry();

  dialog.m_model = u"G&G M2022/Spider4";
  dialog.m_build = std::u16string(400, u'7');
  dialog.m_report = u"first line\r\nsecond line\r\n";
  dialog.UpdateData(false);

  EXPECT_EQ(shown(c.model), u"G&G M2022/Spider4");
  EXPECT_EQ(c.model->textFormat(), Qt::PlainText);
  // A text longer than its box is cut at the box's edge; the box does not grow.
  EXPECT_EQ(c.build->geometry(), before);
  EXPECT_EQ(c.report->toPlainText(), "first line\nsecond line\n");

  // And back: the controls into the fields, line ends as the run wrote them.
  dialog.m_model.clear();
  dialog.m_report.clear();
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_model, u"G&G M2022/Spider4");
  EXPECT_EQ(dialog.m_report, u"first line\r\nsecond line\r\n");
}

TEST(Dialog, RunFillsTheFieldsAndGivesTheButtonsBack) {
  Scenario otherVendor = virtualprinter::healthyMonoPrinter();
  otherVendor.vendorId = 0x04F9;
  struct Case {
    const char* name;
    Scenario scenario;
    const char16_t* status;
  };
  const Case cases[] = {
      {"healthy printer", virtualprinter::healthyMonoPrinter(), u"done"},
      {"no printer of the vendor", otherVendor, u"printer not found"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    // What the run shows, taken from the same printer without a window.
    VirtualBackend referenceBackend(test.scenario);
    testing::RecordingDialog expected;
    AcquisitionThread(expected, referenceBackend);
    ASSERT_EQ(expected.m_status, test.status);

    VirtualBackend backend(test.scenario);
    CKestravaDlg dialog(backend);
    dialog.show();
    Controls c(dialog);
    QTest::mouseClick(c.getData, Qt::LeftButton);
    // Grey from the click on, before the worker has done anything.
    EXPECT_FALSE(c.getData->isEnabled());
    EXPECT_FALSE(c.close->isEnabled());
    EXPECT_TRUE(dialog.runInProgress());
    ASSERT_TRUE(waitForRunEnd(dialog));

    EXPECT_TRUE(c.getData->isEnabled());
    EXPECT_TRUE(c.close->isEnabled());
    EXPECT_EQ(shown(c.status), test.status);
    EXPECT_EQ(shown(c.model), expected.m_model);
    EXPECT_EQ(shown(c.build), expected.m_build);
    EXPECT_EQ(shown(c.fwVersion), expected.m_fwVersion);
    EXPECT_EQ(shown(c.serialNumber), expected.m_serialNumber);
    QString report = QString::fromStdU16String(expected.m_report).replace("\r\n", "\n");
    EXPECT_EQ(c.report->toPlainText(), report);
    if (expected.m_status == u"done") {
      EXPECT_FALSE(expected.m_model.empty());
      EXPECT_TRUE(report.endsWith("ProgID: 3.36.2.60113\n"));
    } else {
      EXPECT_TRUE(report.isEmpty() && c.model->text().isEmpty());
    }
  }
}

TEST(Dialog, ASecondGetDataStartsNoSecondRun) {
  VirtualBackend backend(slowPrinter(5));
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  dialog.OnGetData();
  dialog.OnGetData();
  QTest::mouseClick(c.getData, Qt::LeftButton);
  ASSERT_TRUE(waitForRunEnd(dialog));
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog.runInProgress());
  EXPECT_EQ(backend.printer().sessions(), 1u);
  EXPECT_EQ(shown(c.status), u"done");

  // Once it has ended, the next press starts the next run.
  QTest::mouseClick(c.getData, Qt::LeftButton);
  ASSERT_TRUE(waitForRunEnd(dialog));
  EXPECT_EQ(backend.printer().sessions(), 2u);
}

// Presses "Get data" the moment both buttons are enabled again: posted from the change of
// the button the run enables last, so it is handled right behind the run's last hand-over,
// before the end of its worker has been seen on this thread.
class PressWhenTheButtonsComeBack : public QObject {
 public:
  PressWhenTheButtonsComeBack(CKestravaDlg& dialog, const Controls& controls) : dialog_(dialog), c_(controls) {
    c_.getData->installEventFilter(this);
    c_.close->installEventFilter(this);
  }

  bool pressed = false;
  bool startedARun = false;  // "Get data" was grey again right after the press

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange && !armed_ && c_.getData->isEnabled() && c_.close->isEnabled()) {
      armed_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            QTest::mouseClick(c_.getData, Qt::LeftButton);
            startedARun = !c_.getData->isEnabled() && !c_.close->isEnabled() && dialog_.runInProgress();
            pressed = true;
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CKestravaDlg& dialog_;
  const Controls& c_;
  bool armed_ = false;
};

TEST(Dialog, APressRightAfterTheButtonsComeBackStartsTheNextRun) {
  Scenario otherVendor = virtualprinter::healthyMonoPrinter();
  otherVendor.vendorId = 0x04F9;
  struct Case {
    const char* name;
    Scenario scenario;
    const char16_t* status;
    unsigned sessions;  // the printer sees both runs, or neither
  };
  const Case cases[] = {
      {"healthy printer", virtualprinter::healthyMonoPrinter(), u"done", 2},
      {"no printer of the vendor", otherVendor, u"printer not found", 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    VirtualBackend backend(test.scenario);
    CKestravaDlg dialog(backend);
    dialog.show();
    Controls c(dialog);
    QSignalSpy ended(&dialog, &CKestravaDlg::runEnded);
    QTest::mouseClick(c.getData, Qt::LeftButton);
    ASSERT_TRUE(dialog.runInProgress());
    PressWhenTheButtonsComeBack press(dialog, c);

    ASSERT_TRUE(QTest::qWaitFor([&] { return press.pressed; }, kRunLimitMs));
    EXPECT_TRUE(press.startedARun);
    // Both runs' workers end and are joined; the second run shows its end as the first did.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() >= 2 && !dialog.runInProgress(); }, kRunLimitMs));
    EXPECT_EQ(ended.count(), 2);
    EXPECT_EQ(backend.printer().sessions(), test.sessions);
    EXPECT_EQ(shown(c.status), test.status);
    EXPECT_TRUE(c.getData->isEnabled() && c.close->isEnabled());
  }
}

TEST(Dialog, EnterAndEscapeDoNothing) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  for (QWidget* target : {static_cast<QWidget*>(c.report), static_cast<QWidget*>(c.getData),
                          static_cast<QWidget*>(c.close), static_cast<QWidget*>(&dialog)}) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      SCOPED_TRACE(target->objectName().toStdString() + " key " + std::to_string(key));
      target->setFocus();
      QTest::keyClick(target, key);
      QCoreApplication::processEvents();
      EXPECT_TRUE(dialog.isVisible());
      EXPECT_FALSE(dialog.runInProgress());
      EXPECT_EQ(backend.printer().sessions(), 0u);
      EXPECT_EQ(shown(c.status), u"Ready.");
    }
  }
}

TEST(Dialog, CloseEndsTheDialogWithoutARun) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  QSignalSpy finished(&dialog, &QDialog::finished);
  QTest::mouseClick(Controls(dialog).close, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(backend.printer().sessions(), 0u);
}

// The worker waits for the GUI thread to show a field before it goes on.
TEST(Dialog, AFieldFromTheWorkerIsOnScreenWhenItsTransferReturns) {
  VirtualBackend backend(virtualprinter::healthyMonoPrinter());
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    dialog.m_serialNumber = u"AB1C234567";
    dialog.UpdateData(false);
    returned = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, kRunLimitMs));
  EXPECT_EQ(shown(c.serialNumber), u"AB1C234567");
  worker.join();
}

// A printer that answers every read a second late: a whole run takes half a minute, and
// a close that waited for the run instead of the one read in progress would take many
// seconds longer than the limit.
constexpr std::uint32_t kSlowReplyMs = 1000;
// Closing waits for the read in progress and no more: one slow read, plus a wide margin
// for a busy machine.
constexpr qint64 kCloseLimitMs = kSlowReplyMs + 3000;

TEST(Dialog, ClosingDuringASlowRunEndsItWithinOneRead) {
  VirtualBackend backend(slowPrinter(kSlowReplyMs));
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  dialog.OnGetData();
  ASSERT_TRUE(QTest::qWaitFor([&] { return backend.printer().requestCount() >= 2; }, kRunLimitMs));
  EXPECT_TRUE(dialog.runInProgress());
  EXPECT_FALSE(c.getData->isEnabled());
  EXPECT_FALSE(c.close->isEnabled());
  EXPECT_EQ(shown(c.status), u"acquiring data...");

  std::size_t requests = backend.printer().requestCount();
  QElapsedTimer closing;
  closing.start();
  EXPECT_TRUE(dialog.close());
  EXPECT_LT(closing.elapsed(), kCloseLimitMs);
  EXPECT_FALSE(dialog.isVisible());
  // The worker has been joined: what the printer and the window show now is final.
  EXPECT_FALSE(dialog.runInProgress());

  // The run asked the printer nothing after the request it was on (one more at most, if it
  // had just sent it), and the window it was cut loose from shows nothing of its end.
  EXPECT_LE(backend.printer().requestCount(), requests + 1);
  EXPECT_LT(backend.printer().requestCount(), 8u);
  EXPECT_EQ(shown(c.status), u"acquiring data...");
  EXPECT_FALSE(c.getData->isEnabled());
}

TEST(Dialog, DestroyingTheDialogDuringASlowRunIsSafe) {
  VirtualBackend backend(slowPrinter(kSlowReplyMs));
  auto* dialog = new CKestravaDlg(backend);
  dialog->show();
  dialog->OnGetData();
  ASSERT_TRUE(QTest::qWaitFor([&] { return backend.printer().requestCount() >= 1; }, kRunLimitMs));
  std::size_t requests = backend.printer().requestCount();
  QElapsedTimer destroying;
  destroying.start();
  // Under AddressSanitizer any write of the run to the dialog after this is a finding.
  delete dialog;
  EXPECT_LT(destroying.elapsed(), kCloseLimitMs);
  // The worker has been joined with the dialog: nothing more reaches the printer.
  EXPECT_LE(backend.printer().requestCount(), requests + 1);
  EXPECT_LT(backend.printer().requestCount(), 8u);
}

}  // namespace
}  // namespace kestrava
