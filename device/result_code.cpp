#include "device/result_code.h"

#include <map>
#include <ostream>

#include "base/text_codec.h"

namespace kestrava {

namespace {

const std::map<ResultCode, const char16_t*>& resultTable() {
  static const std::map<ResultCode, const char16_t*> table = {
      {ResultCode::noError, u"no error"},
      {ResultCode::printerNotFound, u"printer not found"},
      {ResultCode::connectFailed, u"connect to printer failed"},
      {ResultCode::disconnectFailed, u"printer disconnect failed"},
      {ResultCode::notConnected, u"connect to printer not established"},
      {ResultCode::sendFailed, u"send data to printer failed"},
      {ResultCode::receiveFailed, u"receive data from printer failed"},
      {ResultCode::invalidResponse, u"invalid response"},
      {ResultCode::executionFailed, u"command execution failed"},
      {ResultCode::executionError, u"command execution error"},
      {ResultCode::allocationFailed, u"memory allocation failed"},
      {ResultCode::countersNotDefined, u"counters not defined"},
      {ResultCode::bufferTooSmall, u"buffer too small"},
      {ResultCode::handlerNotDefined, u"handler not defined"},
      {ResultCode::buildDateFailed, u"get build date fail"},
  };
  return table;
}

const std::map<StageCode, const char16_t*>& stageTable() {
  static const std::map<StageCode, const char16_t*> table = {
      {StageCode::none, u""},          {StageCode::platform, u"EPLT"}, {StageCode::version, u"EVER"},
      {StageCode::buildDate, u"EBLD"}, {StageCode::ramSize, u"ERAM"},  {StageCode::generation, u"EGEN"},
  };
  return table;
}

template <typename Map, typename Key>
const char16_t* lookup(const Map& map, Key key) {
  auto found = map.find(key);
  return found == map.end() ? nullptr : found->second;
}

template <typename Code>
std::ostream& print(std::ostream& out, Code code, const char16_t* text) {
  out << static_cast<std::uint32_t>(code);
  if (text != nullptr) out << " (" << toUtf8(text) << ")";
  return out;
}

}  // namespace

const char16_t* resultText(ResultCode code) { return lookup(resultTable(), code); }

const char16_t* stageTag(StageCode code) { return lookup(stageTable(), code); }

std::ostream& operator<<(std::ostream& out, ResultCode code) { return print(out, code, resultText(code)); }

std::ostream& operator<<(std::ostream& out, StageCode code) { return print(out, code, stageTag(code)); }

}  // namespace kestrava
