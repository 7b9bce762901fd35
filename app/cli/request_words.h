// What the run asks the printer for, in the words a person at a terminal understands:
// "the serial number" rather than "OID_PLATFORM_PRODUCT_SERIAL_NUM.0".
#pragma once

#include <string>

namespace kestrava {

// `asked` is a description from WaitNotice::describeRequest: an OID name with its index,
// "the file PATH", "the serial number (command 0xFF05)", or "the printer".
std::string requestInPlainWords(const std::string& asked);

}  // namespace kestrava
