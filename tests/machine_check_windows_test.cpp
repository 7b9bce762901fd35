// kestrava-cli --check on Windows: the verdicts on made-up SetupAPI findings (on every
// system), and the check of the machine itself under Windows or wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/machine_check_windows.h"

namespace kestrava {
namespace {

struct Expected {
  std::string subject;
  Verdict verdict;
  std::string nextStep;  // a piece of it; "" for none
  std::string finding = "";
};

TEST(MachineCheckWindows, VerdictsOnInterfacesAndDrivers) {
  const std::u16string printerPath = u"\\\\?\\usb#vid_232b&pid_0ef5#cn3a012345#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  const std::u16string otherPath = u"\\\\?\\usb#vid_04b8&pid_0005#x#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  const std::u16string unknownPath = u"\\\\?\\usb#vid_232b&pid_fff0#y#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  struct Case {
    const char* name;
    std::vector<std::u16string> paths;
    std::vector<VendorDevice> devices;
    std::vector<Expected> lines;
    int exitStatus;
  };
  const std::vector<Case> cases = {
      {"nothing attached",
       {},
       {},
       {{"USB printing", Verdict::ok, "", "lists 0 printer interfaces"},
        {"printer", Verdict::problem, "check the USB cable", "no printer of vendor 0x232B is present"}},
       2},
      {"another maker's printer only",
       {otherPath},
       {},
       {{"USB printing", Verdict::ok, "", "1 printer interface of USB Printing Support, 0 of vendor 0x232B"},
        {"printer", Verdict::problem, "Device Manager", "(1 printer interfaces of other makers are)"}},
       2},
      {"a printer on USB Printing Support",
       {otherPath, printerPath},
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"USB Printing Support", u"usbprint"}},
       {{"USB printing", Verdict::ok, "", "2 printer interfaces of USB Printing Support, 1 of vendor 0x232B"},
        {"printer interface " + std::string(printerPath.begin(), printerPath.end()), Verdict::ok, "",
         "P3301DN (product id 0x0EF5)"},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100", Verdict::ok, "", "(usbprint)"}},
       0},
      {"a composite printer",
       {printerPath},
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"USB Composite Device", u"usbccgp"},
        {u"USB\\VID_232B&PID_0EF5&REV_0100&MI_00", u"USB Printing Support", u"USBPRINT"}},
       {{"USB printing", Verdict::ok, ""},
        {"printer interface " + std::string(printerPath.begin(), printerPath.end()), Verdict::ok, ""},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100", Verdict::ok, "", "composite device (usbccgp)"},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100&MI_00", Verdict::ok, ""}},
       0},
      {"a printer on the maker's own driver",
       {},
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"Pantum P3300 Series", u"PantumUsb"}},
       {{"USB printing", Verdict::ok, ""},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100", Verdict::problem, "\"USB Printing Support\"",
         "driven by \"PantumUsb\", not USB Printing Support"}},
       6},
      {"a printer on USB Printing Support without its interface",
       {},
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"USB Printing Support", u"usbprint"}},
       {{"USB printing", Verdict::ok, ""},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100", Verdict::problem, "plug it in again",
         "Windows offers no printer interface of it"}},
       6},
      {"a printer without a driver, and one the table does not know",
       {unknownPath},
       {{u"USB\\VID_232B&PID_0EF5&REV_0100", u"", u""}},
       {{"USB printing", Verdict::ok, ""},
        {"printer interface " + std::string(unknownPath.begin(), unknownPath.end()), Verdict::note, "--trace",
         "product id 0xFFF0"},
        {"USB device USB\\VID_232B&PID_0EF5&REV_0100", Verdict::problem, "update its driver",
         "USB\\VID_232B&PID_0EF5&REV_0100: no driver is installed"}},
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MachineCheck check = checkWindowsDevices(c.paths, c.devices);
    EXPECT_EQ(check.system, "windows");
    ASSERT_EQ(check.lines.size(), c.lines.size()) << checkAsText(check);
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const CheckLine& line = check.lines[i];
      SCOPED_TRACE(line.subject + ": " + line.finding + " / next: " + line.nextStep);
      EXPECT_EQ(line.subject, c.lines[i].subject);
      EXPECT_EQ(line.verdict, c.lines[i].verdict);
      if (c.lines[i].nextStep.empty()) {
        EXPECT_EQ(line.nextStep, "");
      } else {
        EXPECT_NE(line.nextStep.find(c.lines[i].nextStep), std::string::npos);
      }
      EXPECT_NE(line.finding.find(c.lines[i].finding), std::string::npos);
    }
    EXPECT_EQ(checkExitStatus(check), c.exitStatus);
  }
}

#ifdef _WIN32
// Under wine no USB device is present: the check says so, cleanly.
TEST(MachineCheckWindows, ChecksThisMachine) {
  const MachineCheck check = checkThisMachine();
  EXPECT_EQ(check.system, "windows");
  ASSERT_FALSE(check.lines.empty());
  EXPECT_EQ(check.lines.front().subject, "USB printing");
  if (check.printersSeen == 0) {
    EXPECT_EQ(checkExitStatus(check), 2);
    EXPECT_EQ(check.lines.back().subject, "printer");
    EXPECT_EQ(check.lines.back().verdict, Verdict::problem);
  }
}
#endif

}  // namespace
}  // namespace kestrava
