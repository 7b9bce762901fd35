// OID query: the value of an OID by name and index, asked with a server-side-include
// directive as the data of command 0xFF21.
#include <cstdio>

#include "device/printer_device.h"
#include "base/text_codec.h"

namespace kestrava {

ResultCode PrinterDevice::queryOid(const char* oidName, std::uint32_t oidIndex, std::u16string& out) {
  if (!link_.connected()) return ResultCode::notConnected;

  char request[kOidBufferSize];
  int length = std::snprintf(request, sizeof request, "<!--#ssi 0 %s.%u -->", oidName, static_cast<unsigned>(oidIndex));
  if (length < 0) return ResultCode::sendFailed;
  // The printer reads a request into a buffer of the same 4096 bytes: a name too long for
  // it is sent cut, as much as the buffer holds, never past it.
  std::uint16_t requestLength =
      static_cast<std::uint16_t>(length < static_cast<int>(sizeof request) ? length : sizeof request - 1);

  AclCommandBlock block = AclCommandBlock::request(aclcmd::oidQuery, requestLength);
  ResultCode result = exchange(block, reinterpret_cast<const std::uint8_t*>(request), requestLength);
  if (failed(result)) return result;

  if (!echoesCommand(block, aclcmd::oidQuery)) return ResultCode::invalidResponse;
  // Some firmware lines answer a known OID with status 0 and the value all the same; the
  // value is taken, and only an empty answer counts as failed (below).
  if (block.status() != 0 && block.status() != 1) return ResultCode::executionError;
  std::uint16_t answerLength = block.be16(6);
  if (answerLength == 0) return ResultCode::executionFailed;

  // The length field cannot exceed 65535, so an answer of any announced size is read whole.
  return readTextPhase(*this, answerLength, out);
}

}  // namespace kestrava
