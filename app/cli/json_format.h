// What every JSON object kestrava-cli prints ends with: the format's version and the tool
// and version that wrote it, so a script can tell what it reads. Within one format
// version members are only ever added (docs/json.md).
#pragma once

#include <nlohmann/json.hpp>

#include "base/version.h"

namespace kestrava {

inline constexpr int kJsonFormatVersion = 1;

inline void addFormatMembers(nlohmann::ordered_json& object) {
  object["formatVersion"] = kJsonFormatVersion;
  object["tool"] = "kestrava-cli";
  object["toolVersion"] = KESTRAVA_VERSION_TEXT;
}

// A JSON text of one line, with characters that are not UTF-8 replaced.
inline std::string dumpedJson(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kestrava
