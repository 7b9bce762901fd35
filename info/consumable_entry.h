// One consumable of the printer: a toner cartridge or a drum.
#pragma once

#include <cstdint>
#include <list>

namespace kestrava {

struct ConsumableEntry {
  const char16_t* name = nullptr;     // constant display name, e.g. "Black toner"
  std::uint32_t oidIndex = 0;         // instance index of its level OID
  std::int32_t percentRemaining = 0;  // last level read; 0 when created
};

using ConsumableList = std::list<ConsumableEntry>;

}  // namespace kestrava
