#include "app/cli/interface_list.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "app/cli/json_format.h"

#include "base/visible_text.h"
#include "base/text_codec.h"
#include "boards/model_table.h"
#include "link/usb_printer_link.h"

namespace kestrava {

std::vector<ListedInterface> listInterfaces(UsbBackend& backend) {
  std::vector<ListedInterface> listed;
  for (const std::u16string& path : backend.interfacePaths()) {
    ListedInterface entry;
    entry.path = path;
    std::size_t match = path.find(UsbPrinterLink::defaultPathFilter);
    entry.ofVendor = match != std::u16string::npos;
    if (entry.ofVendor) {
      // The same parse the link makes when it opens the printer.
      entry.productId = static_cast<std::uint16_t>(parseUsbId(path, match));
      const ModelEntry* model = findModel(entry.productId);
      if (model != nullptr && model->modelName != nullptr) entry.modelName = model->modelName;
    }
    listed.push_back(std::move(entry));
  }
  return listed;
}

std::vector<std::u16string> printerPaths(UsbBackend& backend) {
  std::vector<std::u16string> paths;
  for (const ListedInterface& entry : listInterfaces(backend)) {
    if (entry.ofVendor) paths.push_back(entry.path);
  }
  return paths;
}

std::string interfacesAsText(const std::vector<ListedInterface>& interfaces) {
  if (interfaces.empty()) return "no printer interface is attached\n";
  std::string out;
  bool anyOfVendor = false;
  for (const ListedInterface& entry : interfaces) {
    out += entry.ofVendor ? "* " : "  ";
    out += toUtf8(visibleControls(entry.path));  // a path is not ours to send raw to a terminal
    if (entry.ofVendor) {
      anyOfVendor = true;
      if (entry.modelName) {
        out += "  " + toUtf8(*entry.modelName);
      } else {
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "  (product id 0x%04X is not in the model table)", entry.productId);
        out += unknown;
      }
    }
    out += '\n';
  }
  if (!anyOfVendor) out += "none of these is a printer of vendor 0x232B\n";
  return out;
}

std::string interfacesAsJson(const std::vector<ListedInterface>& interfaces) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ListedInterface& entry : interfaces) {
    nlohmann::ordered_json item;
    item["path"] = toUtf8(entry.path);
    item["vendor232B"] = entry.ofVendor;
    if (entry.ofVendor) {
      item["productId"] = entry.productId;
      item["modelName"] = entry.modelName ? nlohmann::ordered_json(toUtf8(*entry.modelName)) : nullptr;
    }
    addFormatMembers(item);
    list.push_back(item);
  }
  return dumpedJson(list);
}

}  // namespace kestrava
