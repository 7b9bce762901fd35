// The model table: every USB product id of the vendor that Kestrava knows, with the
// model name the printer is sold under and the board rule of its family.
#pragma once

#include <cstdint>
#include <span>

#include "boards/board_rule.h"

namespace kestrava {

struct ModelEntry {
  std::uint16_t productId;
  const char16_t* modelName;
  BoardRule rule;  // kNameOnly: the model is known by name only
};

// The whole table, in the order it is maintained in (grouped by board rule).
std::span<const ModelEntry> modelTable();

// The entry of exactly this product id, or nullptr.
const ModelEntry* findModel(std::uint16_t productId);

}  // namespace kestrava
