// kestrava-cli --check on Linux: the verdicts and next steps on made-up trees of /sys,
// /dev, /etc and /run, and the program's JSON on this machine.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/xattr.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/cli/machine_check_linux.h"
#include "base/version.h"
#include "cli_support.h"
#include "test_support.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// A machine under a temporary folder: what sysfs, devfs and /etc would show, and the
// answers of the calls the check makes beyond reading files.
class FakeMachine {
 public:
  explicit FakeMachine(const std::string& name)
      : root_((fs::temp_directory_path() / ("kestrava-check-" + std::to_string(::getpid()) + "-" + name)).string()) {
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~FakeMachine() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void usb() {
    fs::create_directories(root_ + "/sys/bus/usb/devices");
    fs::create_directories(root_ + "/dev/bus/usb");
    device("usb1", "1d6b", "0002", 1, 1, "0");  // a root hub
  }

  // A USB device with its attributes and its device node.
  std::string device(const std::string& name, const std::string& vendor, const std::string& product, int bus,
                     int address, const std::string& ports, const std::string& serial = "") {
    const std::string folder = root_ + "/sys/bus/usb/devices/" + name;
    fs::create_directories(folder);
    write(folder + "/idVendor", vendor + "\n");
    write(folder + "/idProduct", product + "\n");
    write(folder + "/busnum", std::to_string(bus) + "\n");
    write(folder + "/devnum", std::to_string(address) + "\n");
    write(folder + "/devpath", ports + "\n");
    write(folder + "/manufacturer", "Pantum\n");
    write(folder + "/product", "P3301DN Series\n");
    if (!serial.empty()) write(folder + "/serial", serial + "\n");
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    fs::create_directories(fs::path(root_ + node).parent_path());
    write(root_ + node, "");
    return node;
  }

  // An interface of the device, bound to `driver` (none when empty).
  void interface(const std::string& device, int number, const std::string& interfaceClass, const std::string& driver,
                 const std::string& lpNode = "") {
    const std::string name = device + ":1." + std::to_string(number);
    const std::string folder = root_ + "/sys/bus/usb/devices/" + device + "/" + name;
    fs::create_directories(folder);
    write(folder + "/bInterfaceNumber", "0" + std::to_string(number) + "\n");
    write(folder + "/bInterfaceClass", interfaceClass + "\n");
    if (!driver.empty()) {
      const std::string driverFolder = root_ + "/sys/bus/usb/drivers/" + driver;
      fs::create_directories(driverFolder);
      fs::create_directory_symlink(driverFolder, folder + "/driver");
    }
    if (!lpNode.empty()) fs::create_directories(folder + "/usbmisc/" + lpNode);
  }

  void rule(const std::string& folder) {
    fs::create_directories(root_ + folder);
    write(root_ + folder + "/60-kestrava.rules", "SUBSYSTEM==\"usb\"\n");
  }

  void file(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(root_ + path).parent_path());
    write(root_ + path, text);
  }

  LinuxMachine machine() const {
    LinuxMachine machine;
    machine.root = root_;
    machine.canOpen = [this](const std::string& path) { return open.count(path.substr(root_.size())) > 0; };
    machine.aclOf = [](const std::string&) { return std::vector<std::uint8_t>{}; };
    machine.environment = [this](const std::string& name) -> std::optional<std::string> {
      auto found = environment.find(name);
      if (found == environment.end()) return std::nullopt;
      return found->second;
    };
    machine.run = [this](const std::vector<std::string>& command) -> std::optional<std::string> {
      std::string line;
      for (const std::string& word : command) line += (line.empty() ? "" : " ") + word;
      ran.push_back(line);
      auto found = programs.find(command.front());
      if (found == programs.end()) return std::nullopt;
      return found->second;
    };
    return machine;
  }

  std::set<std::string> open;                      // the device nodes this user may open
  std::map<std::string, std::string> environment;  // the session's variables
  std::map<std::string, std::string> programs;     // a program's output; absent: not installed
  mutable std::vector<std::string> ran;

 private:
  static void write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
  }

  std::string root_;
};

const char* kSeatSession = "Remote=no\nSeat=seat0\nActive=yes\nType=wayland\n";
const char* kSshSession = "Remote=yes\nSeat=\nActive=yes\nType=tty\n";

// One expected line: its subject, verdict, and a piece its next step holds ("" for none).
struct Expected {
  std::string subject;
  Verdict verdict;
  std::string nextStep;
  std::string finding = "";
};

struct Case {
  const char* name;
  std::function<void(FakeMachine&)> build;
  std::vector<Expected> lines;  // in order; every line of the check
  int exitStatus;
};

// A printer of the model table at 1-2 with its printer interface bound to `driver`.
void printer(FakeMachine& machine, const std::string& driver, bool nodeOpen) {
  machine.usb();
  const std::string node = machine.device("1-2", "232b", "0ef5", 1, 5, "2", "CN3A012345");
  machine.interface("1-2", 0, "07", driver, driver == "usblp" ? "lp0" : "");
  if (nodeOpen) machine.open.insert(node);
}

void atSeat(FakeMachine& machine) {
  machine.environment["XDG_SESSION_ID"] = "3";
  machine.programs["loginctl"] = kSeatSession;
}

TEST(MachineCheckLinux, VerdictsAndNextStepsOnMadeUpMachines) {
  const std::string node = "printer 1-2, /dev/bus/usb/001/005";
  const std::vector<Case> cases = {
      {"no USB at all (a container)",
       [](FakeMachine&) {},
       {{"USB", Verdict::problem, "reach the printer over TCP", "/sys/bus/usb/devices does not exist"}},
       2},
      {"WSL without the printer handed to it",
       [](FakeMachine& m) { m.file("/proc/sys/kernel/osrelease", "5.15.153.1-microsoft-standard-WSL2\n"); },
       {{"USB", Verdict::problem, "usbipd attach --wsl", "(this is WSL"}},
       2},
      {"a container started without the host's USB",
       [](FakeMachine& m) {
         m.file("/.dockerenv", "");
         fs::create_directories(m.machine().root + "/dev/bus/usb");
       },
       {{"USB", Verdict::problem, "docker run --device /dev/bus/usb", "(this is a container)"}},
       2},
      {"USB but no device of the vendor",
       [](FakeMachine& m) {
         m.usb();
         m.device("1-1", "046d", "c52b", 1, 2, "1");
         m.interface("1-1", 0, "03", "usbhid");
         atSeat(m);
       },
       {{"USB", Verdict::ok, "", "1 device besides the root hubs"},
        {"printer", Verdict::problem, "check the USB cable", "(1 of other makers are)"},
        {"udev rule", Verdict::note, "install it"},
        {"session", Verdict::ok, ""}},
       2},
      {"a printer on usblp, all clear",
       [](FakeMachine& m) {
         printer(m, "usblp", true);
         m.rule("/usr/lib/udev/rules.d");
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, "", "P3301DN (product id 0x0EF5) on bus 1, port 2"},
        {"printer 1-2, interface 0", Verdict::note, "a print job is using it", "usblp (/dev/usb/lp0)"},
        {node, Verdict::ok, "", "may open it"},
        {"udev rule", Verdict::ok, "", "/usr/lib/udev/rules.d"},
        {"session", Verdict::ok, "", "active session at seat0 (wayland)"}},
       0},
      {"a printer without a driver",
       [](FakeMachine& m) {
         printer(m, "", true);
         m.rule("/etc/udev/rules.d");
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, "", "no kernel driver bound"},
        {node, Verdict::ok, ""},
        {"udev rule", Verdict::ok, "", "/etc/udev/rules.d"},
        {"session", Verdict::ok, ""}},
       0},
      {"a printer another program holds",
       [](FakeMachine& m) {
         printer(m, "usbfs", true);
         m.rule("/lib/udev/rules.d");
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::problem, "end that program"},
        {node, Verdict::ok, ""},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       6},
      {"node closed, no udev rule",
       [](FakeMachine& m) {
         printer(m, "", false);
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::problem, "install the udev rule 60-kestrava.rules", "may not open it"},
        {"udev rule", Verdict::note, "install it", "is not installed"},
        {"session", Verdict::ok, ""}},
       6},
      {"node closed, rule installed, logged in over ssh",
       [](FakeMachine& m) {
         printer(m, "", false);
         m.rule("/usr/lib/udev/rules.d");
         m.environment["XDG_SESSION_ID"] = "7";
         m.programs["loginctl"] = kSshSession;
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::problem, "not the session at the machine's seat: use the printer from a desktop session"},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::note, "or run kestrava-cli as root", "session 7 is remote"}},
       6},
      {"node closed, rule installed, no logind (ssh seen in the environment)",
       [](FakeMachine& m) {
         printer(m, "", false);
         m.rule("/etc/udev/rules.d");
         m.environment["SSH_CONNECTION"] = "192.0.2.1 50000 192.0.2.2 22";
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::problem, "not the session at the machine's seat"},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::note, "desktop session", "logged in over ssh"}},
       6},
      {"node closed although rule and seat are there",
       [](FakeMachine& m) {
         printer(m, "", false);
         m.rule("/etc/udev/rules.d");
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::problem, "plug the printer in again"},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       6},
      {"a CUPS queue prints to it",
       [](FakeMachine& m) {
         printer(m, "usblp", true);
         m.rule("/usr/lib/udev/rules.d");
         atSeat(m);
         m.file("/etc/cups/printers.conf",
                "# Printer configuration file\n<Printer Office>\nDeviceURI ipp://192.0.2.9/ipp/print\n</Printer>\n"
                "<DefaultPrinter Pantum_P3301DN>\nInfo P3301DN\n"
                "DeviceURI usb://PANTUM/P3301DN%20Series?serial=CN3A012345\nState Idle\n</DefaultPrinter>\n");
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::note, "print job"},
        {node, Verdict::ok, ""},
        {"printer 1-2, print queue", Verdict::note, "lpstat -o", "\"Pantum_P3301DN\""},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       0},
      {"a queue of another printer of the maker, through lpstat",
       [](FakeMachine& m) {
         printer(m, "", true);
         m.rule("/usr/lib/udev/rules.d");
         atSeat(m);
         m.programs["lpstat"] = "device for Upstairs: usb://Pantum/M6500?serial=CN9Z000001\n";
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::ok, ""},
        {"printer 1-2, print queue", Verdict::ok, "", "no CUPS queue prints to it (lpstat -v)"},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       0},
      {"CUPS installed, its queues out of reach",
       [](FakeMachine& m) {
         printer(m, "", true);
         m.rule("/usr/lib/udev/rules.d");
         atSeat(m);
         m.file("/etc/cups/cupsd.conf", "LogLevel warn\n");
       },
       {{"USB", Verdict::ok, ""},
        {"printer 1-2", Verdict::ok, ""},
        {"printer 1-2, interface 0", Verdict::ok, ""},
        {node, Verdict::ok, ""},
        {"print queues", Verdict::note, "run lpstat -v", "cannot be read here"},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       0},
      {"a product id the table does not know, and no printer interface",
       [](FakeMachine& m) {
         m.usb();
         m.open.insert(m.device("3-1.4", "232B", "fff0", 3, 9, "1.4"));
         m.interface("3-1.4", 0, "ff", "");
         m.rule("/usr/lib/udev/rules.d");
         atSeat(m);
       },
       {{"USB", Verdict::ok, ""},
        {"printer 3-1.4", Verdict::note, "--trace", "product id 0xFFF0 on bus 3, port 1.4"},
        {"printer 3-1.4", Verdict::problem, "switch the printer off and on", "no printer-class interface"},
        {"printer 3-1.4, /dev/bus/usb/003/009", Verdict::ok, ""},
        {"udev rule", Verdict::ok, ""},
        {"session", Verdict::ok, ""}},
       6},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMachine fake("case" + std::to_string(index++));
    c.build(fake);
    const MachineCheck check = checkLinuxMachine(fake.machine());
    EXPECT_EQ(check.system, "linux");
    ASSERT_EQ(check.lines.size(), c.lines.size()) << checkAsText(check);
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const CheckLine& line = check.lines[i];
      const Expected& expected = c.lines[i];
      SCOPED_TRACE(line.subject + ": " + line.finding + " / next: " + line.nextStep);
      EXPECT_EQ(line.subject, expected.subject);
      EXPECT_EQ(line.verdict, expected.verdict);
      EXPECT_FALSE(line.finding.empty());
      if (expected.nextStep.empty()) {
        EXPECT_EQ(line.nextStep, "");
      } else {
        EXPECT_NE(line.nextStep.find(expected.nextStep), std::string::npos);
      }
      EXPECT_NE(line.finding.find(expected.finding), std::string::npos);
    }
    EXPECT_EQ(checkExitStatus(check), c.exitStatus);
  }
}

TEST(MachineCheckLinux, BeyondFilesAsksOnlyLogindAndCups) {
  FakeMachine fake("programs");
  printer(fake, "usblp", false);
  fake.environment["XDG_SESSION_ID"] = "c2";
  checkLinuxMachine(fake.machine());
  EXPECT_EQ(fake.ran, (std::vector<std::string>{
                          "loginctl show-session c2 -p Remote -p Seat -p Active -p Type",
                          "lpstat -v",
                      }));
}

TEST(MachineCheckLinux, UsbDevicesWithoutTheirNodes) {
  FakeMachine fake("nodev");
  printer(fake, "", true);
  fs::remove_all(fake.machine().root + "/dev");
  const MachineCheck check = checkLinuxMachine(fake.machine());
  ASSERT_FALSE(check.lines.empty());
  EXPECT_EQ(check.lines[0].verdict, Verdict::problem);
  EXPECT_NE(check.lines[0].finding.find("/dev/bus/usb does not exist"), std::string::npos);
  EXPECT_EQ(checkExitStatus(check), 6);
}

TEST(MachineCheckLinux, NamesTheUsersAndGroupsOfTheNodesAcl) {
  // Version 2; owner rw, user 0 rw, group owner r, group 0 rw, mask rw, other none.
  const std::vector<std::uint8_t> acl = {2,    0, 0, 0,                          //
                                         1,    0, 6, 0, 0xff, 0xff, 0xff, 0xff,  //
                                         2,    0, 6, 0, 0,    0,    0,    0,     //
                                         4,    0, 4, 0, 0xff, 0xff, 0xff, 0xff,  //
                                         8,    0, 6, 0, 0,    0,    0,    0,     //
                                         0x10, 0, 6, 0, 0xff, 0xff, 0xff, 0xff,  //
                                         0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(describeAcl(acl), "user root rw-, group root rw-");
  EXPECT_EQ(describeAcl({}), "");
  EXPECT_EQ(describeAcl({1, 0, 0, 0}), "");           // another version
  EXPECT_EQ(describeAcl({2, 0, 0, 0, 2, 0, 6}), "");  // cut short
}

// The attribute as the kernel keeps it on a real file (where the file system has ACLs).
TEST(MachineCheckLinux, ReadsTheAclTheKernelKeeps) {
  FakeMachine fake("acl");
  fake.file("/node", "");
  const std::string node = fake.machine().root + "/node";
  const std::vector<std::uint8_t> acl = {2, 0, 0,    0,    1,    0,    6,    0, 0xff, 0xff, 0xff, 0xff, 2,    0,    6,
                                         0, 0, 0,    0,    0,    4,    0,    4, 0,    0xff, 0xff, 0xff, 0xff, 0x10, 0,
                                         6, 0, 0xff, 0xff, 0xff, 0xff, 0x20, 0, 4,    0,    0xff, 0xff, 0xff, 0xff};
  if (::setxattr(node.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "no ACLs here: " << std::strerror(errno);
  }
  EXPECT_EQ(describeAcl(thisLinuxMachine().aclOf(node)), "user root rw-");
  fake.file("/plain", "");
  EXPECT_TRUE(thisLinuxMachine().aclOf(fake.machine().root + "/plain").empty());
}

TEST(MachineCheckLinux, TextShowsEachVerdictAndItsNextStep) {
  FakeMachine fake("text");
  printer(fake, "", false);
  const std::string text = checkAsText(checkLinuxMachine(fake.machine()));
  EXPECT_NE(text.find("\nproblem  printer 1-2, /dev/bus/usb/001/005: owner "), std::string::npos) << text;
  EXPECT_NE(text.find("\n         next: install the udev rule"), std::string::npos) << text;
  EXPECT_NE(text.find("\n1 printer of vendor 0x232B seen; 1 problem to solve first"), std::string::npos) << text;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79U) << line;
}

TEST(MachineCheckLinux, JsonCarriesEveryLineAndTheFormatMembers) {
  FakeMachine fake("json");
  printer(fake, "usbfs", true);
  const MachineCheck check = checkLinuxMachine(fake.machine());
  const nlohmann::json json = nlohmann::json::parse(checkAsJson(check));
  EXPECT_EQ(json["system"], "linux");
  ASSERT_EQ(json["lines"].size(), check.lines.size());
  for (std::size_t i = 0; i < check.lines.size(); ++i) {
    EXPECT_EQ(json["lines"][i]["subject"], check.lines[i].subject);
    EXPECT_EQ(json["lines"][i]["verdict"], verdictName(check.lines[i].verdict));
    EXPECT_EQ(json["lines"][i]["finding"], check.lines[i].finding);
    if (check.lines[i].nextStep.empty()) {
      EXPECT_TRUE(json["lines"][i]["nextStep"].is_null());
    } else {
      EXPECT_EQ(json["lines"][i]["nextStep"], check.lines[i].nextStep);
    }
  }
  EXPECT_EQ(json["printersSeen"], 1);
  EXPECT_EQ(json["problems"], check.problems());
  EXPECT_EQ(json["outcome"], "a problem stands in the way");
  EXPECT_EQ(json["exitStatus"], 6);
  EXPECT_EQ(json["formatVersion"], 1);
  EXPECT_EQ(json["tool"], "kestrava-cli");
  EXPECT_EQ(json["toolVersion"], KESTRAVA_VERSION_TEXT);

  // Each member has its row in the page that documents the JSON.
  std::ifstream in(testing::sourcePath("docs/json.md"));
  std::stringstream page;
  page << in.rdbuf();
  const std::size_t start = page.str().find("## --check --json");
  ASSERT_NE(start, std::string::npos);
  const std::string section = page.str().substr(start);
  std::set<std::string> members;
  for (const auto& member : json.items()) members.insert(member.key());
  for (const auto& member : json["lines"][0].items()) members.insert(member.key());
  EXPECT_EQ(members.size(), 13U);
  for (const char* common : {"formatVersion", "tool", "toolVersion"}) members.erase(common);  // the page's head
  for (const std::string& member : members) {
    EXPECT_NE(section.find("| `" + member + "` |"), std::string::npos) << member << " is not in docs/json.md";
  }
}

// The program on this machine, whatever it has attached: the JSON parses and its status
// is the program's.
TEST(MachineCheckLinux, TheProgramChecksThisMachine) {
  testing::CliOutcome json = testing::runCli("--check --json");
  const nlohmann::json parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["exitStatus"], json.status);
  EXPECT_TRUE(json.status == 0 || json.status == 2 || json.status == 6) << json.status;
  EXPECT_EQ(parsed["tool"], "kestrava-cli");
  EXPECT_EQ(json.err, "");

  testing::CliOutcome text = testing::runCli("--check");
  EXPECT_EQ(text.status, json.status);
  EXPECT_NE(text.out.find(json.status == 2 ? "No printer of vendor 0x232B is seen" : " of vendor 0x232B seen; "),
            std::string::npos)
      << text.out;

  // The options of a run have nothing to do with it: a usage error, not a silent drop.
  for (const char* other : {"--list", "--all", "--device virtual", "--trace", "--progress"}) {
    testing::CliOutcome both = testing::runCli(std::string("--check ") + other);
    EXPECT_EQ(both.status, 64) << other;
    EXPECT_EQ(both.out, "") << other;
    EXPECT_NE(both.err.find("--check reads no printer"), std::string::npos) << both.err;
  }
}

}  // namespace
}  // namespace kestrava

#endif
