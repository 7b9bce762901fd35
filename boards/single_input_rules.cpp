#include "boards/single_input_rules.h"

#include <cstdint>
#include <string>

#include "boards/slice_compare.h"

namespace kestrava {

namespace {

void useDateSource(BoardContext& board, DateSource source) {
  if (source == DateSource::versionFile) board.useVersionFileBuildDate();
}

}  // namespace

ResultCode decide(const FixedRule& rule, BoardContext& board, ConsumableSet& set) {
  useDateSource(board, rule.source);
  board.describe(rule.description);
  set = rule.set;
  return ResultCode::noError;
}

ResultCode decide(const CutOffRule& rule, BoardContext& board, ConsumableSet& set) {
  useDateSource(board, rule.source);
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
  board.describe(versionSlice(version, 0, 7) < rule.cutOff ? rule.below : rule.from);
  set = rule.set;
  return ResultCode::noError;
}

ResultCode decide(const ThirdCharacterRule& rule, BoardContext& board, ConsumableSet& set) {
  if (rule.buildDateMarker != nullptr) board.useBuildDateMarker(rule.buildDateMarker);
  board.useVersionFileBuildDate();
  std::u16string version;
  if (ResultCode r = board.firmwareVersion(version); failed(r)) return r;
  board.describe(versionSlice(version, 2, 1) == u"E" ? rule.lineE : rule.otherwise);
  set = ConsumableSet::color;
  return ResultCode::noError;
}

ResultCode decide(const MemorySizeRule& rule, BoardContext& board, ConsumableSet& set) {
  useDateSource(board, rule.source);
  std::uint32_t megabytes = 0;
  if (ResultCode r = board.ramSize(megabytes); failed(r)) return r;
  board.describe(megabytes == 256   ? rule.at256
                 : megabytes == 128 ? rule.at128
                 : megabytes == 32  ? rule.at32
                                    : rule.otherSize);
  set = ConsumableSet::mono;
  return ResultCode::noError;
}

ResultCode decide(const GenerationRule& rule, BoardContext& board, ConsumableSet& set) {
  bool newGeneration = false;
  if (ResultCode r = board.generation(newGeneration); failed(r)) return r;
  if (newGeneration) board.useVersionFileBuildDate();
  board.describe(newGeneration ? rule.newGeneration : rule.oldGeneration);
  set = rule.set;
  return ResultCode::noError;
}

}  // namespace kestrava
