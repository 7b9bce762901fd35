#include "device/result_code.h"

#include <map>

namespace kestrava {

namespace {

const std::map<ResultCode, const char16_t*>& resultTable() {
  static const std::map<ResultCode, const char16_t*> table = {
      {0, u"no error"},
      {1, u"printer not found"},
      {2, u"connect to printer failed"},
      {3, u"printer disconnect failed"},
      {4, u"connect to printer not established"},
      {5, u"send data to printer failed"},
      {6, u"receive data from printer failed"},
      {7, u"invalid response"},
      {8, u"command execution failed"},
      {9, u"command execution error"},
      {10, u"memory allocation failed"},
      {11, u"counters not defined"},
      {12, u"buffer too small"},
      {13, u"handler not defined"},
      {14, u"get build date fail"},
  };
  return table;
}

const std::map<StageCode, const char16_t*>& stageTable() {
  static const std::map<StageCode, const char16_t*> table = {
      {0, u""}, {1, u"EPLT"}, {2, u"EVER"}, {3, u"EBLD"}, {4, u"ERAM"}, {5, u"EGEN"},
  };
  return table;
}

template <typename Map>
const char16_t* lookup(const Map& map, std::uint32_t key) {
  auto found = map.find(key);
  return found == map.end() ? nullptr : found->second;
}

}  // namespace

const char16_t* resultText(ResultCode code) { return lookup(resultTable(), code); }

const char16_t* stageTag(StageCode code) { return lookup(stageTable(), code); }

}  // namespace kestrava
