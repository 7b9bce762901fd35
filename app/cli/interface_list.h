// --list: the printer-class interfaces a back end offers, and for those of vendor 0x232B
// which printer each is by the model table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/usb_backend.h"

namespace kestrava {

struct ListedInterface {
  std::u16string path;
  bool ofVendor = false;  // the path carries "vid_232b": a run would consider it
  std::uint16_t productId = 0;
  std::optional<std::u16string> modelName;  // empty: not of the vendor, or not in the table
};

std::vector<ListedInterface> listInterfaces(UsbBackend& backend);

// The paths of vendor 0x232B in enumeration order: the printers `--all` reads.
std::vector<std::u16string> printerPaths(UsbBackend& backend);

// One line per interface ("* PATH  MODEL" for the vendor's), or a sentence when there are none.
std::string interfacesAsText(const std::vector<ListedInterface>& interfaces);

// [{"path", "vendor232B", "productId", "modelName"}, ...], one line.
std::string interfacesAsJson(const std::vector<ListedInterface>& interfaces);

}  // namespace kestrava
