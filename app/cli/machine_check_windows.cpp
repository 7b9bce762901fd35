#include "app/cli/machine_check_windows.h"

#include <cstdio>

#include "base/text_codec.h"
#include "boards/model_table.h"
#include "link/usb_printer_link.h"

namespace kestrava {

namespace {

std::u16string lowerAscii(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

std::string productIdText(unsigned productId) {
  char id[16];
  std::snprintf(id, sizeof id, "0x%04X", productId & 0xFFFFU);
  return id;
}

const char* kUsbPrintingSupportStep =
    "in the Device Manager, update its driver to \"USB Printing Support\" (Browse my computer, Let me pick; see "
    "README.txt, \"printer not found\")";

}  // namespace

MachineCheck checkWindowsDevices(const std::vector<std::u16string>& interfacePaths,
                                 const std::vector<VendorDevice>& devices) {
  MachineCheck check;
  check.system = "windows";
  int others = 0;
  std::vector<CheckLine> interfaceLines;
  for (const std::u16string& path : interfacePaths) {
    // The match the link makes: a path it would not take is not counted as a printer.
    const std::size_t match = path.find(UsbPrinterLink::defaultPathFilter);
    if (match == std::u16string::npos) {
      ++others;
      continue;
    }
    ++check.printersSeen;
    // The same parse the link makes when it opens the printer.
    const unsigned productId = parseUsbId(path, match) & 0xFFFFU;
    const ModelEntry* model = findModel(static_cast<std::uint16_t>(productId));
    const std::string subject = "printer interface " + toUtf8(path);
    if (model != nullptr && model->modelName != nullptr) {
      interfaceLines.push_back({subject, Verdict::ok,
                                toUtf8(model->modelName) + " (product id " + productIdText(productId) +
                                    "), on USB Printing Support: a run opens its pipes",
                                ""});
    } else {
      interfaceLines.push_back(
          {subject, Verdict::note,
           "product id " + productIdText(productId) +
               " is not in Kestrava's model table: a run reads it but cannot name its model or board",
           "send a trace of a run (kestrava-cli --trace kestrava.trace) with a report, so it can be added"});
    }
  }
  check.add("USB printing", Verdict::ok,
            "SetupAPI lists " + std::to_string(interfacePaths.size()) + " printer interface" +
                (interfacePaths.size() == 1 ? "" : "s") + " of USB Printing Support, " +
                std::to_string(interfacePaths.size() - static_cast<std::size_t>(others)) + " of vendor 0x232B");
  for (CheckLine& line : interfaceLines) check.lines.push_back(std::move(line));
  const int vendorInterfaces = check.printersSeen;

  for (const VendorDevice& device : devices) {
    const std::u16string service = lowerAscii(device.service);
    const std::string name = toUtf8(device.description.empty() ? device.hardwareId : device.description);
    const std::string subject = "USB device " + toUtf8(device.hardwareId);
    if (service == u"usbprint" && vendorInterfaces == 0) {
      // The driver is there, but no interface of it came up: the link would find nothing.
      ++check.printersSeen;
      check.add(subject, Verdict::problem,
                name + ", driven by USB Printing Support (usbprint), but Windows offers no printer interface of it",
                "unplug the printer and plug it in again; if that does not help, switch it off and on");
    } else if (service == u"usbprint") {
      check.add(subject, Verdict::ok, name + ", driven by USB Printing Support (usbprint)");
    } else if (service == u"usbccgp") {
      check.add(subject, Verdict::ok,
                name +
                    ", a composite device (usbccgp): its printer interface is a device of its own, listed "
                    "with its driver");
    } else if (service.empty()) {
      ++check.printersSeen;
      check.add(subject, Verdict::problem,
                name +
                    ": no driver is installed for it, so Windows offers no printer "
                    "interface of it",
                kUsbPrintingSupportStep);
    } else {
      ++check.printersSeen;
      check.add(subject, Verdict::problem,
                name + ", driven by \"" + toUtf8(device.service) +
                    "\", not USB Printing Support: Kestrava reads a printer only through USB Printing Support",
                kUsbPrintingSupportStep);
    }
  }
  if (check.printersSeen == 0) {
    check.add(
        "printer", Verdict::problem,
        "no printer of vendor 0x232B is present" +
            (others > 0 ? " (" + std::to_string(others) + " printer interfaces of other makers are)" : std::string()),
        "check the USB cable and that the printer is switched on and awake; the Device Manager shows what "
        "is attached");
  }
  return check;
}

}  // namespace kestrava
