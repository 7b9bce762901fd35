// Build date: through the replaceable handler, from command 0x0008 / the OID, or from
// the printer's /etc/version.
#include <array>
#include <string_view>

#include "device/printer_device.h"
#include "base/text_codec.h"
#include "info/cached_answer.h"

namespace kestrava {

namespace {
constexpr const char* kVersionFile = "/etc/version";
constexpr std::uint32_t kVersionFileBufferSize = 1024;
}  // namespace

ResultCode PrinterDevice::getBuildDate(std::u16string& out) {
  return cachedAnswer(buildDate_, out, [this](std::u16string& date) {
    switch (buildDateSource_) {
      case BuildDateSource::printer: return queryBuildDate(date);
      case BuildDateSource::versionFile: return buildDateFromVersionFile(date);
      case BuildDateSource::none: break;
    }
    return ResultCode::handlerNotDefined;
  });
}

ResultCode PrinterDevice::queryBuildDate(std::u16string& out) {
  if (!failed(readBuildInfo(out))) return ResultCode::noError;
  return queryOid("OID_PLATFORM_PRODUCT_DATE", 0, out);
}

ResultCode PrinterDevice::readBuildInfo(std::u16string& out) {
  AclCommandBlock block;
  ResultCode result = sendCommand(*this, aclcmd::buildInfo, block);
  if (failed(result)) return result;
  std::string text;
  result = readDataPhase(*this, block.be16(6), text);
  if (failed(result)) return result;
  // The answer is the date, the bracketed source revision, then where the firmware was
  // built: the date ends with the first "]", and the build host and path are dropped.
  std::size_t bracket = text.find(']');
  if (bracket != std::string::npos) text.resize(bracket + 1);
  out = widenPrinterText(text);
  return ResultCode::noError;
}

ResultCode PrinterDevice::buildDateFromVersionFile(std::u16string& out) {
  std::array<std::uint8_t, kVersionFileBufferSize> buffer{};
  std::uint32_t size = 0;
  ResultCode result = readFile(kVersionFile, buffer.data(), kVersionFileBufferSize, size);
  if (failed(result)) return result;
  // The file is read into a 1024-byte buffer and ended with a NUL. One that fills the
  // buffer has no room for that end and may be cut inside the date: it is refused as too
  // large rather than read wrong.
  if (size >= kVersionFileBufferSize) return ResultCode::bufferTooSmall;

  std::string_view file(reinterpret_cast<const char*>(buffer.data()), size);
  file = untilNul(file);
  if (buildDateMarker_ == nullptr) return ResultCode::buildDateFailed;
  std::string_view marker(buildDateMarker_);
  std::size_t found = file.find(marker);
  if (found == std::string_view::npos) return ResultCode::buildDateFailed;

  // Nothing is trimmed: a blank after the marker and a CR before the LF are kept, so the
  // date shows as the printer wrote it; the board rules read only its four-digit year,
  // which neither disturbs.
  std::string_view date = file.substr(found + marker.size());
  date = date.substr(0, date.find('\n'));
  out = widenPrinterText(date);
  return ResultCode::noError;
}

}  // namespace kestrava
