// A board rule as the model table names it: a value, not code. The families that differ
// only in data are rows of five kinds, each kind one shared decision; the families with
// real logic are compound rules, a function each. Every rule carries the consumable set of
// its boards, which identifyBoard applies once the rule has decided.
#pragma once

#include <variant>

#include "boards/board_context.h"

namespace kestrava {

// The board of firmware that is not understood yet: the printer can only be dumped.
inline constexpr const char16_t* kDumpOnly = u"Dump only";

// Boards that keep their build date in /etc/version rather than answering for it.
enum class DateSource : bool { printer, versionFile };

// One board per family, nothing to ask.
struct FixedRule {
  DateSource source;
  const char16_t* description;
  ConsumableSet set;
};

// One board line below a firmware release, another from it on ("Dump only" where the
// later firmware is not understood yet).
struct CutOffRule {
  DateSource source;
  const char16_t* cutOff;
  const char16_t* below;
  const char16_t* from;
  ConsumableSet set;
};

// The colour boards mark their "E" firmware line in the version's third character. All
// keep the build date in /etc/version; all carry the colour set.
struct ThirdCharacterRule {
  const char* buildDateMarker;  // nullptr: the default marker stays
  const char16_t* lineE;
  const char16_t* otherwise;
};

// Boards of one family that differ in their memory. A size the family does not come with
// leaves the description alone (nullptr). All carry the mono set.
struct MemorySizeRule {
  DateSource source;
  const char16_t* at256;
  const char16_t* at128;
  const char16_t* at32;
  const char16_t* otherSize;
};

// The old "H" firmware line against everything newer. Only the new boards keep their
// build date in /etc/version.
struct GenerationRule {
  const char16_t* newGeneration;
  const char16_t* oldGeneration;
  ConsumableSet set;
};

// Boards that show only in several answers together.
struct CompoundRule {
  ResultCode (*decide)(BoardContext& board);
  ConsumableSet set;
};

using BoardRule = std::variant<std::monostate, const FixedRule*, const CutOffRule*, const ThirdCharacterRule*,
                               const MemorySizeRule*, const GenerationRule*, const CompoundRule*>;

// A model whose boards cannot be told apart yet: it is named, nothing more.
inline constexpr BoardRule kNameOnly{};
inline bool isNameOnly(const BoardRule& rule) { return std::holds_alternative<std::monostate>(rule); }

// Runs the rule; on success `set` is the consumable set of the board it decided.
ResultCode applyBoardRule(const BoardRule& rule, BoardContext& board, ConsumableSet& set);

}  // namespace kestrava
