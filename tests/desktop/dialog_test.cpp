// The Linux dialog under the offscreen platform, with a virtual printer behind it.
#include <memory>

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "run/acquisition_thread.h"
#include "app/qt/kestrava_dialog.h"
#include "base/version.h"
#include "device/printer_device.h"
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

  EXPECT_EQ(dialog.windowTitle(), "Kestrava " KESTRAVA_TITLE_VERSION_TEXT);
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
      EXPECT_TRUE(report.endsWith("ProgID: " KESTRAVA_VERSION_TEXT "\n"));
    } else {
      EXPECT_TRUE(report.isEmpty() && c.model->text().isEmpty());
    }
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

// A printer that answers every read a minute late: the run's first read blocks until its
// time-out, and a close that waited for it instead of cancelling it would take longer than
// the limit.
constexpr std::uint32_t kSlowReplyMs = 60000;
// Closing cancels the read in flight and waits for nothing: half of the read's time-out,
// a wide margin for a busy machine.
constexpr qint64 kCloseLimitMs = PrinterDevice::kReadTimeoutMs / 2;

TEST(Dialog, ClosingDuringABlockedReadEndsTheRunAtOnce) {
  VirtualBackend backend(slowPrinter(kSlowReplyMs));
  CKestravaDlg dialog(backend);
  dialog.show();
  Controls c(dialog);
  dialog.OnGetData();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return backend.printer().requestCount() >= 1 && shown(c.status) == u"acquiring data..."; }, kRunLimitMs));
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

  // The run asked the printer nothing after the request it was on, and the window it was cut loose from shows nothing
  // of its end.
  EXPECT_EQ(backend.printer().requestCount(), requests);
  EXPECT_EQ(shown(c.status), u"acquiring data...");
  EXPECT_FALSE(c.getData->isEnabled());
}

TEST(Dialog, DestroyingTheDialogDuringABlockedReadIsSafeAndPrompt) {
  VirtualBackend backend(slowPrinter(kSlowReplyMs));
  auto dialog = std::make_unique<CKestravaDlg>(backend);
  dialog->show();
  dialog->OnGetData();
  ASSERT_TRUE(QTest::qWaitFor([&] { return backend.printer().requestCount() >= 1; }, kRunLimitMs));
  std::size_t requests = backend.printer().requestCount();
  QElapsedTimer destroying;
  destroying.start();
  // Under AddressSanitizer any write of the run to the dialog after this is a finding.
  dialog.reset();
  EXPECT_LT(destroying.elapsed(), kCloseLimitMs);
  // The worker has been joined with the dialog: nothing more reached the printer.
  EXPECT_EQ(backend.printer().requestCount(), requests);
}

}  // namespace
}  // namespace kestrava
