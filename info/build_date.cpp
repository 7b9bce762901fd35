// Build date: through the replaceable handler, from command 0x0008 / the OID, or from
// the printer's /etc/version.
#include <array>
#include <string_view>

#include "device/printer_device.h"
#include "device/text_codec.h"
#include "info/cached_answer.h"

namespace kestrava {

namespace {
constexpr const char* kVersionFile = "/etc/version";
constexpr std::uint32_t kVersionFileBufferSize = 1024;
}  // namespace

ResultCode PrinterDevice::getBuildDate(std::u16string& out) {
  return cachedAnswer(buildDate, buildDateCached, out, [this](std::u16string& date) {
    if (buildDateHandler == nullptr) return rc::handlerNotDefined;
    return (this->*buildDateHandler)(date);
  });
}

ResultCode PrinterDevice::queryBuildDate(std::u16string& out) {
  if (readBuildInfo(out) == rc::noError) return rc::noError;
  return queryOid("OID_PLATFORM_PRODUCT_DATE", 0, out);
}

ResultCode PrinterDevice::readBuildInfo(std::u16string& out) {
  AclCommandBlock block;
  ResultCode result = sendCommand(*this, aclcmd::buildInfo, block);
  if (result != rc::noError) return result;
  std::string text;
  result = readDataPhase(*this, block.be16(6), text);
  if (result != rc::noError) return result;
  // The date ends with the first "]" (the bracketed revision); what follows is dropped.
  std::size_t bracket = text.find(']');
  if (bracket != std::string::npos) text.resize(bracket + 1);
  out = widenPrinterText(text);
  return rc::noError;
}

ResultCode PrinterDevice::buildDateFromVersionFile(std::u16string& out) {
  std::array<std::uint8_t, kVersionFileBufferSize> buffer{};
  std::uint32_t size = 0;
  ResultCode result = readFile(kVersionFile, buffer.data(), kVersionFileBufferSize, size);
  if (result != rc::noError) return result;
  // A file that fills the buffer leaves no room for its end mark: taken as too large.
  if (size >= kVersionFileBufferSize) return rc::bufferTooSmall;

  std::string_view file(reinterpret_cast<const char*>(buffer.data()), size);
  file = file.substr(0, file.find('\0'));
  if (buildDateMarker == nullptr) return rc::buildDateFailed;
  std::string_view marker(buildDateMarker);
  std::size_t found = file.find(marker);
  if (found == std::string_view::npos) return rc::buildDateFailed;

  // Nothing is trimmed: a blank after the marker and a CR before the LF are kept.
  std::string_view date = file.substr(found + marker.size());
  date = date.substr(0, date.find('\n'));
  out = widenPrinterText(date);
  return rc::noError;
}

}  // namespace kestrava
