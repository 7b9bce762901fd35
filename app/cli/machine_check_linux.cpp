#include "app/cli/machine_check_linux.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include "base/text_codec.h"
#include "boards/model_table.h"
#include "link/udev_rule.h"

extern char** environ;

namespace kestrava {

namespace fs = std::filesystem;

namespace {

// ---- the machine itself ----

std::optional<std::string> runProgram(const std::vector<std::string>& command) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  // The programs' own words in English, as this parses them.
  std::string locale = "LC_ALL=C";
  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "LC_ALL=", 7) != 0) envp.push_back(*entry);
  }
  envp.push_back(locale.data());
  envp.push_back(nullptr);
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    return std::nullopt;
  }
  // A program that hangs (lpstat waiting for a cupsd that does not answer) costs at most
  // a few seconds.
  std::string text;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool timedOut = false;
  for (;;) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long elapsedMs = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsedMs >= 5000) {
      timedOut = true;
      break;
    }
    pollfd wait{out[0], POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(5000 - elapsedMs));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(out[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (text.size() < (1U << 20)) text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(out[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return text;
}

std::vector<std::uint8_t> aclOfNode(const std::string& path) {
  const ssize_t size = ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0);
  if (size <= 0 || size > 65536) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  const ssize_t got = ::getxattr(path.c_str(), "system.posix_acl_access", bytes.data(), bytes.size());
  if (got <= 0) return {};
  bytes.resize(static_cast<std::size_t>(got));
  return bytes;
}

// ---- reading the tree ----

// The first `limit` bytes of a file; nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path, std::size_t limit = 1U << 20) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text(limit, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

// A sysfs attribute without its line end; nothing when it is not there.
std::optional<std::string> readSmallFile(const std::string& path) {
  std::optional<std::string> read = readFile(path, 4096);  // a sysfs attribute is at most a page
  if (!read) return std::nullopt;
  std::string text = *read;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string userName(uid_t uid) {
  if (const passwd* entry = ::getpwuid(uid)) return entry->pw_name;
  return std::to_string(uid);
}

std::string groupName(gid_t gid) {
  if (const group* entry = ::getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

struct Interface {
  std::string name;  // "1-2:1.0"
  int number = -1;
  bool printerClass = false;
  std::string driver;              // empty: none bound
  std::vector<std::string> nodes;  // usblp's /dev/usb/lpN
};

struct VendorDevice {
  std::string name;  // "1-2.3", its folder in /sys/bus/usb/devices
  std::uint16_t productId = 0;
  int bus = 0;
  int address = 0;
  std::string ports;  // "2.3"
  std::string manufacturer, product, serial;
  std::vector<Interface> interfaces;
};

std::uint16_t hexNumber(const std::optional<std::string>& text) {
  if (!text) return 0;
  return static_cast<std::uint16_t>(std::strtoul(text->c_str(), nullptr, 16));
}

int decimalNumber(const std::optional<std::string>& text) {
  if (!text) return 0;
  return static_cast<int>(std::strtol(text->c_str(), nullptr, 10));
}

std::vector<VendorDevice> vendorDevices(const std::string& devicesFolder, int& usbDevices) {
  std::vector<VendorDevice> found;
  std::error_code error;
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(devicesFolder, error)) {
    std::string name = entry.path().filename().string();
    if (name.find(':') == std::string::npos) names.push_back(name);  // interfaces carry ':'
  }
  std::sort(names.begin(), names.end());
  usbDevices = 0;
  for (const std::string& name : names) {
    const std::string folder = devicesFolder + "/" + name;
    std::optional<std::string> vendor = readSmallFile(folder + "/idVendor");
    if (!vendor) continue;
    if (name.rfind("usb", 0) != 0) ++usbDevices;  // root hubs are not devices one plugs in
    if (lower(*vendor) != "232b") continue;
    VendorDevice device;
    device.name = name;
    device.productId = hexNumber(readSmallFile(folder + "/idProduct"));
    device.bus = decimalNumber(readSmallFile(folder + "/busnum"));
    device.address = decimalNumber(readSmallFile(folder + "/devnum"));
    device.ports = readSmallFile(folder + "/devpath").value_or("");
    device.manufacturer = readSmallFile(folder + "/manufacturer").value_or("");
    device.product = readSmallFile(folder + "/product").value_or("");
    device.serial = readSmallFile(folder + "/serial").value_or("");
    std::vector<std::string> interfaceNames;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      std::string child = entry.path().filename().string();
      if (child.rfind(name + ":", 0) == 0) interfaceNames.push_back(child);
    }
    std::sort(interfaceNames.begin(), interfaceNames.end());
    for (const std::string& child : interfaceNames) {
      const std::string path = folder + "/" + child;
      Interface interface;
      interface.name = child;
      interface.number = decimalNumber(readSmallFile(path + "/bInterfaceNumber"));
      interface.printerClass = hexNumber(readSmallFile(path + "/bInterfaceClass")) == 7;
      fs::path driver = fs::read_symlink(path + "/driver", error);
      if (!error) interface.driver = driver.filename().string();
      error.clear();
      for (const fs::directory_entry& node : fs::directory_iterator(path + "/usbmisc", error)) {
        interface.nodes.push_back("/dev/usb/" + node.path().filename().string());
      }
      error.clear();
      device.interfaces.push_back(std::move(interface));
    }
    found.push_back(std::move(device));
  }
  return found;
}

// ---- CUPS ----

struct PrintQueue {
  std::string name;
  std::string uri;
};

std::string percentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex = text.substr(i + 1, 2);
      char* end = nullptr;
      const long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i] == '+' ? ' ' : text[i];
  }
  return out;
}

// Whether a queue's device URI names this printer. CUPS's usb back end writes
// "usb://MAKE/MODEL?serial=SERIAL", the make and model from the printer's IEEE 1284 id,
// which may differ in letter case and wording from the USB strings: the serial number
// decides where both have one, otherwise the make.
bool uriNamesDevice(const std::string& uri, const VendorDevice& device) {
  if (lower(uri).rfind("usb://", 0) != 0) return false;
  const std::string rest = uri.substr(6);
  const std::size_t question = rest.find('?');
  const std::string path = rest.substr(0, question);
  std::string serial;
  if (question != std::string::npos) {
    std::istringstream query(rest.substr(question + 1));
    std::string pair;
    while (std::getline(query, pair, '&')) {
      if (pair.rfind("serial=", 0) == 0) serial = percentDecoded(pair.substr(7));
    }
  }
  if (!serial.empty() && !device.serial.empty()) return lower(serial) == lower(device.serial);
  const std::string make = lower(percentDecoded(path.substr(0, path.find('/'))));
  return !make.empty() && make == lower(device.manufacturer);
}

std::vector<PrintQueue> queuesOfPrintersConf(const std::string& text) {
  std::vector<PrintQueue> queues;
  std::istringstream lines(text);
  std::string line;
  std::string name;
  while (std::getline(lines, line)) {
    for (const char* opening : {"<Printer ", "<DefaultPrinter "}) {
      if (line.rfind(opening, 0) == 0) {
        name = line.substr(std::strlen(opening));
        if (!name.empty() && name.back() == '>') name.pop_back();
      }
    }
    if (line.rfind("DeviceURI ", 0) == 0 && !name.empty()) queues.push_back({name, line.substr(10)});
  }
  return queues;
}

std::vector<PrintQueue> queuesOfLpstat(const std::string& text) {
  std::vector<PrintQueue> queues;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string lead = "device for ";
    const std::size_t colon = line.find(": ");
    if (line.rfind(lead, 0) != 0 || colon == std::string::npos) continue;
    queues.push_back({line.substr(lead.size(), colon - lead.size()), line.substr(colon + 2)});
  }
  return queues;
}

// ---- the session ----

struct Session {
  bool atSeat = false;
  Verdict verdict = Verdict::note;
  std::string finding;
  std::string nextStep;
};

std::map<std::string, std::string> properties(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

const char* kNotAtSeatStep =
    "use the printer from a desktop session at this machine, or run kestrava-cli as root (sudo kestrava-cli)";

Session sessionOf(const LinuxMachine& machine) {
  Session session;
  auto env = [&machine](const char* name) { return machine.environment(name).value_or(""); };
  const std::string id = env("XDG_SESSION_ID");
  if (!id.empty()) {
    if (std::optional<std::string> shown =
            machine.run({"loginctl", "show-session", id, "-p", "Remote", "-p", "Seat", "-p", "Active", "-p", "Type"})) {
      std::map<std::string, std::string> values = properties(*shown);
      const std::string seat = values["Seat"];
      const std::string type = values["Type"];
      if (values["Remote"] == "yes") {
        session.finding = "session " + id +
                          " is remote (logged in over ssh or the network): the udev rule's "
                          "access (uaccess) goes to the user at the machine's seat only";
        session.nextStep = kNotAtSeatStep;
      } else if (seat.empty()) {
        session.finding = "session " + id + " has no seat (" + (type.empty() ? "a service" : type) +
                          "): the udev rule's access (uaccess) goes to the user at the machine's seat only";
        session.nextStep = kNotAtSeatStep;
      } else if (values["Active"] != "yes") {
        session.finding = "session " + id + " is at " + seat +
                          " but not its active session: uaccess follows the "
                          "session in front";
        session.nextStep = "switch to this session, or run kestrava-cli in the active one";
      } else {
        session.atSeat = true;
        session.verdict = Verdict::ok;
        session.finding = "session " + id + " is the active session at " + seat +
                          (type.empty() ? std::string() : " (" + type + ")") +
                          ": the udev rule gives it the printer's device node";
      }
      return session;
    }
  }
  // Without logind's word, the environment a login leaves.
  if (!env("XDG_SEAT").empty()) {
    session.atSeat = true;
    session.verdict = Verdict::ok;
    session.finding = "this session is at " + env("XDG_SEAT") + " (XDG_SEAT; loginctl did not say more)";
  } else if (!env("SSH_CONNECTION").empty() || !env("SSH_TTY").empty()) {
    session.finding =
        "this session is logged in over ssh: the udev rule's access (uaccess) goes to the user at "
        "the machine's seat only";
    session.nextStep = kNotAtSeatStep;
  } else {
    session.finding = "this is no login session at a seat (" +
                      (id.empty() ? std::string("no XDG_SESSION_ID: su, sudo, a container or a service")
                                  : "loginctl does not know session " + id) +
                      "): the udev rule's access (uaccess) does not reach it";
    session.nextStep = kNotAtSeatStep;
  }
  return session;
}

}  // namespace

std::string describeAcl(const std::vector<std::uint8_t>& acl) {
  // The kernel's form: a 4-byte version (2), then 8-byte entries of tag, permissions and
  // id, little-endian.
  auto number = [&acl](std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(acl[at + i]) << (8 * i);
    return value;
  };
  if (acl.size() < 4 || (acl.size() - 4) % 8 != 0 || number(0, 4) != 2) return {};
  std::string out;
  for (std::size_t at = 4; at < acl.size(); at += 8) {
    const std::uint32_t tag = number(at, 2), permissions = number(at + 2, 2), id = number(at + 4, 4);
    std::string who;
    if (tag == 0x02) who = "user " + userName(static_cast<uid_t>(id));
    if (tag == 0x08) who = "group " + groupName(static_cast<gid_t>(id));
    if (who.empty()) continue;  // the owner, group, mask and other entries are the mode's
    std::string rights = "---";
    if (permissions & 4) rights[0] = 'r';
    if (permissions & 2) rights[1] = 'w';
    if (permissions & 1) rights[2] = 'x';
    out += (out.empty() ? "" : ", ") + who + " " + rights;
  }
  return out;
}

LinuxMachine thisLinuxMachine() {
  LinuxMachine machine;
  machine.canOpen = [](const std::string& path) { return ::access(path.c_str(), R_OK | W_OK) == 0; };
  machine.aclOf = aclOfNode;
  machine.environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
  machine.run = runProgram;
  return machine;
}

MachineCheck checkLinuxMachine(const LinuxMachine& machine) {
  MachineCheck check;
  check.system = "linux";
  const std::string& root = machine.root;
  const std::string devicesFolder = root + "/sys/bus/usb/devices";
  const bool sysfsUsb = exists(devicesFolder);
  const bool devUsb = exists(root + "/dev/bus/usb");
  // Where USB is out of sight, what kind of place this is decides what to do.
  std::string place = "as in a container, under WSL, or in a virtual machine without USB";
  std::string passIn =
      "run Kestrava on the machine the printer is attached to, start the container with the host's USB devices "
      "(docker run --device /dev/bus/usb ...), or reach the printer over TCP";
  if (lower(readSmallFile(root + "/proc/sys/kernel/osrelease").value_or("")).find("microsoft") != std::string::npos) {
    place = "this is WSL, which sees no USB device Windows has not handed to it";
    passIn =
        "hand the printer to WSL with usbipd-win (usbipd attach --wsl --busid BUSID, in Windows), or run "
        "kestrava-cli.exe on Windows itself";
  } else if (exists(root + "/.dockerenv") || exists(root + "/run/.containerenv")) {
    place = "this is a container";
    passIn =
        "start the container with the host's USB devices (docker run --device /dev/bus/usb ..., podman the "
        "same), or run Kestrava on the host";
  }
  if (!sysfsUsb) {
    check.add("USB", Verdict::problem,
              std::string("no USB is visible here: /sys/bus/usb/devices does not exist") +
                  (devUsb ? "" : ", nor /dev/bus/usb") + " (" + place + ")",
              passIn);
    return check;
  }
  int usbDevices = 0;
  std::vector<VendorDevice> devices = vendorDevices(devicesFolder, usbDevices);
  if (!devUsb) {
    check.add("USB", Verdict::problem,
              "sysfs shows " + std::to_string(usbDevices) +
                  " USB devices, but /dev/bus/usb does not exist: their device nodes are not here (" + place + ")",
              passIn);
  } else {
    check.add("USB", Verdict::ok,
              "visible: /dev/bus/usb and /sys/bus/usb/devices, " + std::to_string(usbDevices) +
                  (usbDevices == 1 ? " device" : " devices") + " besides the root hubs");
  }
  check.printersSeen = static_cast<int>(devices.size());
  if (devices.empty()) {
    check.add("printer", Verdict::problem,
              "no USB device of vendor 0x232B is attached" +
                  (usbDevices > 0 ? " (" + std::to_string(usbDevices) + " of other makers are)" : std::string()),
              "check the USB cable and that the printer is switched on and awake; lsusb lists what is attached");
  }

  std::string ruleFolder;
  std::string ruleFoldersLooked;
  for (std::string_view folder : kUdevRuleFolders) {
    if (ruleFolder.empty() && exists(root + std::string(folder) + "/" + std::string(kUdevRuleName))) {
      ruleFolder = folder;
    }
    ruleFoldersLooked += (ruleFoldersLooked.empty() ? "" : ", ") + std::string(folder);
  }
  const Session session = sessionOf(machine);

  // Print queues: the scheduler's own file when it may be read, otherwise its client.
  std::optional<std::vector<PrintQueue>> queues;
  std::string queueSource;
  if (std::optional<std::string> conf = readFile(root + "/etc/cups/printers.conf")) {
    queues = queuesOfPrintersConf(*conf);
    queueSource = "/etc/cups/printers.conf";
  } else if (std::optional<std::string> listed = machine.run({"lpstat", "-v"})) {
    queues = queuesOfLpstat(*listed);
    queueSource = "lpstat -v";
  }
  const bool cupsInstalled = exists(root + "/etc/cups");

  bool anyNodeClosed = false;
  for (const VendorDevice& device : devices) {
    const std::string subject = "printer " + device.name;
    const ModelEntry* model = findModel(device.productId);
    char id[32];
    std::snprintf(id, sizeof id, "0x%04X", device.productId);
    std::string described =
        " on bus " + std::to_string(device.bus) + ", port " + (device.ports.empty() ? std::string("?") : device.ports);
    for (const std::string* text : {&device.manufacturer, &device.product}) {
      if (!text->empty()) described += ", " + quoted(*text);
    }
    if (!device.serial.empty()) described += ", serial number " + device.serial;
    if (model != nullptr && model->modelName != nullptr) {
      check.add(subject, Verdict::ok, toUtf8(model->modelName) + " (product id " + id + ")" + described);
    } else {
      check.add(subject, Verdict::note,
                std::string("product id ") + id + described +
                    "; it is not in Kestrava's model table: a run reads it but cannot name its model or board",
                "send a trace of a run (kestrava-cli --trace kestrava.trace) with a report, so it can be added");
    }

    bool printerInterface = false;
    for (const Interface& interface : device.interfaces) {
      if (!interface.printerClass) continue;
      printerInterface = true;
      const std::string where = subject + ", interface " + std::to_string(interface.number);
      std::string nodes;
      for (const std::string& node : interface.nodes) nodes += (nodes.empty() ? " (" : ", ") + node;
      if (!nodes.empty()) nodes += ")";
      if (interface.driver.empty()) {
        check.add(where, Verdict::ok, "printer class, no kernel driver bound: a run claims it directly");
      } else if (interface.driver == "usblp") {
        check.add(where, Verdict::note,
                  "printer class, driven by the kernel's printer driver usblp" + nodes +
                      "; a run takes the interface from it for its time and gives it back",
                  "if a run says the interface is claimed, a print job is using it: wait until it ends");
      } else if (interface.driver == "usbfs") {
        check.add(where, Verdict::problem,
                  "printer class, claimed by a program through usbfs (libusb): while it holds the interface, a "
                  "run cannot open it",
                  "end that program (another Kestrava, a vendor tool, a print job through CUPS's usb back end) and "
                  "run again");
      } else {
        check.add(
            where, Verdict::note,
            "printer class, driven by the kernel driver " + quoted(interface.driver) +
                "; a run takes the interface from it for its time",
            "if a run says the interface is claimed, unbind " + quoted(interface.driver) + " from " + interface.name);
      }
    }
    if (!printerInterface) {
      check.add(subject, Verdict::problem, "it shows no printer-class interface (class 7), so a run does not see it",
                "switch the printer off and on: it may be in a mode of its own (a firmware update)");
    }

    // The device node: the kernel makes one per device, /dev/bus/usb/BUS/ADDRESS.
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", device.bus, device.address);
    const std::string nodeSubject = subject + ", " + node;
    struct stat status {};
    if (!devUsb) {
      // Said once above, for all of USB.
    } else if (::stat((root + node).c_str(), &status) != 0) {
      const int error = errno;
      check.add(nodeSubject, Verdict::problem,
                std::string("the device node cannot be looked at: ") + std::generic_category().message(error),
                "plug the printer in again; if the node stays missing, udev is not running here");
    } else {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
      std::string finding =
          "owner " + userName(status.st_uid) + ", group " + groupName(status.st_gid) + ", mode " + mode;
      const std::string acl = describeAcl(machine.aclOf(root + node));
      finding += acl.empty() ? ", no ACL" : ", ACL " + acl;
      if (machine.canOpen(root + node)) {
        check.add(nodeSubject, Verdict::ok, finding + "; this user (" + userName(::geteuid()) + ") may open it");
      } else {
        anyNodeClosed = true;
        finding += "; this user (" + userName(::geteuid()) + ") may not open it";
        std::string step;
        if (ruleFolder.empty()) {
          step =
              "install the udev rule 60-kestrava.rules (the kestrava-cli package does; see the README, \"USB "
              "access without root\") and plug the printer in again";
        } else if (!session.atSeat) {
          step = std::string("the udev rule is installed, but this is not the session at the machine's seat: ") +
                 kNotAtSeatStep;
        } else {
          step =
              "the udev rule is installed and this session is at the seat, yet the node has no ACL for it: plug "
              "the printer in again (or run: sudo udevadm trigger)";
        }
        check.add(nodeSubject, Verdict::problem, finding, step);
      }
    }

    if (queues) {
      std::string named;
      for (const PrintQueue& queue : *queues) {
        if (uriNamesDevice(queue.uri, device))
          named += (named.empty() ? "" : ", ") + quoted(queue.name) + " (" + queue.uri + ")";
      }
      if (named.empty()) {
        check.add(subject + ", print queue", Verdict::ok, "no CUPS queue prints to it (" + queueSource + ")");
      } else {
        check.add(subject + ", print queue", Verdict::note,
                  "the CUPS queue " + named + " prints to it; while a job prints, CUPS holds the printer",
                  "run Kestrava while the queue prints nothing (lpstat -o lists its jobs)");
      }
    }
  }

  if (!queues && cupsInstalled && !devices.empty()) {
    check.add("print queues", Verdict::note,
              "CUPS is installed, but its queues cannot be read here (/etc/cups/printers.conf is not readable and "
              "lpstat -v did not answer)",
              "run lpstat -v (or, as root, kestrava-cli --check) to see whether a queue prints to the printer");
  }

  if (!ruleFolder.empty()) {
    check.add("udev rule", Verdict::ok, "60-kestrava.rules is installed in " + ruleFolder);
  } else {
    check.add("udev rule", Verdict::note,
              "60-kestrava.rules is not installed (looked in " + ruleFoldersLooked +
                  "): without it only root may open the printer",
              anyNodeClosed || devices.empty()
                  ? "install it (the kestrava-cli package does; see the README, \"USB access without root\")"
                  : "");
  }
  check.add("session", session.verdict, session.finding, anyNodeClosed ? session.nextStep : "");
  return check;
}

MachineCheck checkThisMachine() { return checkLinuxMachine(thisLinuxMachine()); }

}  // namespace kestrava
