#include "app/cli/request_words.h"

namespace kestrava {

std::string requestInPlainWords(const std::string& asked) {
  static const struct {
    const char* prefix;
    const char* words;
  } items[] = {
      {"OID_PLATFORM_FW_VERSION.", "the firmware version"},
      {"OID_PLATFORM_ENG_FW_VERSION.", "the engine firmware version"},
      {"OID_PLATFORM_PRODUCT_SERIAL_NUM.", "the serial number"},
      {"OID_PLATFORM_PRODUCT_DATE.", "the build date"},
      {"OID_MEMORY_TOTAL_SIZE_IN_MBYTES.", "the memory size"},
      {"OID_CONSUMABLE_PERCENT_REMAINING.", "the toner levels"},
      {"OID_CONSUMABLE_DRUM_REMAIN.", "the drum life"},
      {"the file /etc/version", "the firmware's version file"},
      {"the file /bin/busybox", "the machine type (/bin/busybox)"},
      {"an OID query (", "an item"},
      {"a file (", "a file"},
      {"a command (", "a command"},
  };
  for (const auto& item : items) {
    if (asked.rfind(item.prefix, 0) == 0) return item.words;
  }
  // A command of its own: "the serial number (command 0x0003)" reads without the number.
  if (std::size_t number = asked.find(" (command 0x"); number != std::string::npos) return asked.substr(0, number);
  if (asked.rfind("OID_", 0) == 0) return "the item " + asked;
  return asked;
}

}  // namespace kestrava
