// Build date: through the replaceable handler, from command 0x0008 / the OID, or from
// the printer's /etc/version.
#include <array>
#include <string_view>

#include "base/text_codec.h"
#include "info/cached_answer.h"
#include "info/printer_info.h"

namespace kestrava {

namespace {
constexpr const char* kVersionFile = "/etc/version";
constexpr std::uint32_t kVersionFileBufferSize = 1024;
}  // namespace

ResultCode PrinterInfo::getBuildDate(std::u16string& out) { return getBuildDate(identity_, out); }

ResultCode PrinterInfo::getBuildDate(const BoardIdentity& reading, std::u16string& out) {
  return cachedAnswer(buildDate_, out, [&](std::u16string& date) {
    switch (reading.buildDateSource) {
      case BuildDateSource::printer: return queryBuildDate(device_, date);
      case BuildDateSource::versionFile: return buildDateFromVersionFile(device_, reading.buildDateMarker, date);
      case BuildDateSource::none: break;
    }
    return ResultCode::handlerNotDefined;
  });
}

ResultCode queryBuildDate(PrinterDevice& device, std::u16string& out) {
  if (!failed(readBuildInfo(device, out))) return ResultCode::noError;
  return device.queryOid("OID_PLATFORM_PRODUCT_DATE", 0, out);
}

ResultCode readBuildInfo(PrinterDevice& device, std::u16string& out) {
  AclCommandBlock block;
  ResultCode result = sendCommand(device, aclcmd::buildInfo, block);
  if (failed(result)) return result;
  std::string text;
  result = readDataPhase(device, block.be16(6), text);
  if (failed(result)) return result;
  // The answer is the date, the bracketed source revision, then where the firmware was
  // built: the date ends with the first "]", and the build host and path are dropped.
  std::size_t bracket = text.find(']');
  if (bracket != std::string::npos) text.resize(bracket + 1);
  out = widenPrinterText(text);
  return ResultCode::noError;
}

ResultCode buildDateFromVersionFile(PrinterDevice& device, const char* marker, std::u16string& out) {
  std::array<std::uint8_t, kVersionFileBufferSize> buffer{};
  std::uint32_t size = 0;
  ResultCode result = device.readFile(kVersionFile, buffer.data(), kVersionFileBufferSize, size);
  if (failed(result)) return result;
  // The file is read into a 1024-byte buffer and ended with a NUL. One that fills the
  // buffer has no room for that end and may be cut inside the date: it is refused as too
  // large rather than read wrong.
  if (size >= kVersionFileBufferSize) return ResultCode::bufferTooSmall;

  std::string_view file(reinterpret_cast<const char*>(buffer.data()), size);
  file = untilNul(file);
  if (marker == nullptr) return ResultCode::buildDateFailed;
  std::string_view markerText(marker);
  std::size_t found = file.find(markerText);
  if (found == std::string_view::npos) return ResultCode::buildDateFailed;

  // Nothing is trimmed: a blank after the marker and a CR before the LF are kept, so the
  // date shows as the printer wrote it; the board rules read only its four-digit year,
  // which neither disturbs.
  std::string_view date = file.substr(found + markerText.size());
  date = date.substr(0, date.find('\n'));
  out = widenPrinterText(date);
  return ResultCode::noError;
}

}  // namespace kestrava
