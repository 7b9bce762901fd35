#include "boards/board_rule.h"

#include "boards/compound_rules.h"
#include "boards/single_input_rules.h"

namespace kestrava {

namespace {

ResultCode decide(const CompoundRule& rule, BoardContext& board, ConsumableSet& set) {
  ResultCode result = rule.decide(board);
  if (!failed(result)) set = rule.set;
  return result;
}

}  // namespace

ResultCode applyBoardRule(const BoardRule& rule, BoardContext& board, ConsumableSet& set) {
  return std::visit(
      [&](const auto& row) {
        if constexpr (std::is_same_v<std::decay_t<decltype(row)>, std::monostate>) {
          return ResultCode::noError;
        } else {
          return decide(*row, board, set);
        }
      },
      rule);
}

}  // namespace kestrava
