// "connect to printer failed", or a printer that answered nothing, in the Linux dialog:
// the window says why and what to do, beside the status, which stays the run's own text.
#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "base/text_codec.h"
#include "dialog_support.h"
#include "virtual/scenario.h"
#include "virtual/virtual_backend.h"

namespace kestrava {
namespace {

using testing::DialogControls;

constexpr const char* kNoPermission =
    "no permission to use the printer's USB device; install the udev rule 60-kestrava.rules "
    "(see the README, \"USB access without root\") and plug the printer in again";

// The virtual printer behind a device node the user may not open, as libusb reports it
// without the udev rule: its pipes do not open while `refused` holds, and the back end
// then has advice.
class RefusingBackend : public UsbBackend {
 public:
  explicit RefusingBackend(const char* hint) : hint_(hint) {}
  std::vector<std::u16string> interfacePaths() override { return printer_.interfacePaths(); }
  std::unique_ptr<UsbPipe> openPipe(const std::u16string& path, PipeEnd end) override {
    refusedLast_ = refused.load();
    return refused ? nullptr : printer_.openPipe(path, end);
  }
  std::string openFailureHint() const override { return refusedLast_ ? hint_ : std::string(); }

  std::atomic<bool> refused{true};

 private:
  VirtualBackend printer_{virtualprinter::healthyMonoPrinter()};
  std::string hint_;
  std::atomic<bool> refusedLast_{false};
};

TEST(DialogFailureHint, ShownBesideTheStatusWhenThePrinterCannotBeOpened) {
  virtualprinter::Scenario pipeFails = virtualprinter::healthyMonoPrinter();
  pipeFails.openFails = "read";
  virtualprinter::Scenario otherVendor = virtualprinter::healthyMonoPrinter();
  otherVendor.vendorId = 0x04F9;
  RefusingBackend noPermission(kNoPermission);
  VirtualBackend noAdvice(pipeFails);
  VirtualBackend absent(otherVendor);
  virtualprinter::Scenario muteScenario = virtualprinter::healthyMonoPrinter();
  muteScenario.faults = {virtualprinter::makeFault(virtualprinter::FaultKind::noReply)};
  VirtualBackend mute(muteScenario);
  struct Case {
    const char* name;
    UsbBackend& backend;
    const char* status;
    const char* hint;  // nullptr: no hint shown
  };
  const Case cases[] = {
      {"no permission", noPermission, "connect to printer failed",
       "No permission to use the printer's USB device; install the udev rule 60-kestrava.rules "
       "(see the README, \"USB access without root\") and plug the printer in again."},
      {"a pipe that will not open, nothing to advise", noAdvice, "connect to printer failed", nullptr},
      {"no printer of the vendor", absent, "printer not found", nullptr},
      // The status is the run's own "done"; the reason comes beside it.
      {"a printer that answers nothing", mute, "done",
       "The printer answered none of Kestrava's requests: is it switched on and awake, and is it a printer of "
       "this family?"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    CKestravaDlg dialog(test.backend);
    dialog.show();
    DialogControls c(dialog);
    ASSERT_TRUE(c.failureHint);
    EXPECT_FALSE(c.failureHint->isVisible());
    ASSERT_TRUE(testing::runOnce(dialog));

    EXPECT_EQ(c.status->text().toStdString(), test.status);
    EXPECT_EQ(dialog.m_status, fromUtf8(test.status));
    if (!test.hint) {
      EXPECT_FALSE(c.failureHint->isVisible());
      continue;
    }
    ASSERT_TRUE(c.failureHint->isVisible());
    EXPECT_EQ(c.failureHint->text().toStdString(), test.hint);
    // In the window, beside the report and the buttons, and all of it legible.
    QCoreApplication::processEvents();
    QRect hint = c.failureHint->geometry();
    EXPECT_TRUE(dialog.rect().contains(hint));
    for (QWidget* other : std::initializer_list<QWidget*>{c.report, c.getData, c.close, c.status->parentWidget()}) {
      EXPECT_FALSE(hint.intersects(other->geometry())) << other->objectName().toStdString();
    }
    EXPECT_GE(hint.height(), c.failureHint->heightForWidth(hint.width()));
  }
}

TEST(DialogFailureHint, GoneOnceTheNextRunStarts) {
  RefusingBackend backend(kNoPermission);
  CKestravaDlg dialog(backend);
  dialog.show();
  DialogControls c(dialog);
  ASSERT_TRUE(testing::runOnce(dialog));
  ASSERT_TRUE(c.failureHint->isVisible());

  backend.refused = false;
  ASSERT_TRUE(testing::runOnce(dialog));
  EXPECT_EQ(c.status->text(), "done");
  EXPECT_FALSE(c.failureHint->isVisible());
  EXPECT_FALSE(c.model->text().isEmpty());
}

}  // namespace
}  // namespace kestrava
