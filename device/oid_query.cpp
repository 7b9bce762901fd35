// OID query: the value of an OID by name and index, asked with a server-side-include
// directive as the data of command 0xFF21.
#include <cstdio>

#include "device/printer_device.h"
#include "device/text_codec.h"

namespace kestrava {

ResultCode PrinterDevice::queryOid(const char* oidName, std::uint32_t oidIndex,
                                   std::u16string& out) {
  if (!link.connected()) return rc::notConnected;

  char request[kOidBufferSize];
  int length = std::snprintf(request, sizeof request, "<!--#ssi 0 %s.%u -->", oidName,
                             static_cast<unsigned>(oidIndex));
  if (length < 0) return rc::sendFailed;
  // A name too long for the request buffer is sent cut, as the buffer holds it.
  std::uint16_t requestLength =
      static_cast<std::uint16_t>(length < static_cast<int>(sizeof request) ? length : sizeof request - 1);

  AclCommandBlock block = AclCommandBlock::request(aclcmd::oidQuery, requestLength);
  ResultCode result =
      exchange(block, reinterpret_cast<const std::uint8_t*>(request), requestLength);
  if (result != rc::noError) return result;

  if (block.bytes[0] != 0x00 || block.bytes[1] != 0xAC || block.command() != aclcmd::oidQuery) {
    return rc::invalidResponse;
  }
  // The OID service answers status 0 with a usable value on some firmware lines.
  if (block.status() != 0 && block.status() != 1) return rc::executionError;
  std::uint16_t answerLength = block.be16(6);
  if (answerLength == 0) return rc::executionFailed;

  // The length field cannot exceed 65535, so an answer of any announced size is read whole.
  std::string answer;
  result = readDataPhase(*this, answerLength, answer);
  if (result != rc::noError) return result;
  out = widenPrinterText(answer);
  return rc::noError;
}

}  // namespace kestrava
