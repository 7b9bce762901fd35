// The families whose board shows only in several answers together: the firmware line,
// the machine the printer's own programs are built for, the build year, the memory size,
// and whether the printer knows the memory-size command at all.
#pragma once

#include <string_view>

#include "boards/board_rule.h"

namespace kestrava {

ResultCode decideP3010Dw(BoardContext& board);
ResultCode decideP3010D(BoardContext& board);
ResultCode decideM6500(BoardContext& board);
ResultCode decideM6600(BoardContext& board);
ResultCode decideM6700(BoardContext& board);
ResultCode decideM6800(BoardContext& board);
ResultCode decideBm5100Adn(BoardContext& board);
ResultCode decideBp5100(BoardContext& board);
ResultCode decideBm5100Fdn(BoardContext& board);

inline constexpr CompoundRule ruleP3010Dw{decideP3010Dw, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleP3010D{decideP3010D, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleM6500{decideM6500, ConsumableSet::mono};
inline constexpr CompoundRule ruleM6600{decideM6600, ConsumableSet::mono};
inline constexpr CompoundRule ruleM6700{decideM6700, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleM6800{decideM6800, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleBm5100Adn{decideBm5100Adn, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleBp5100{decideBp5100, ConsumableSet::monoDrum};
inline constexpr CompoundRule ruleBm5100Fdn{decideBm5100Fdn, ConsumableSet::monoDrum};

// The new-generation M6700 boards by their firmware: the Gorilla boards and the Bear
// boards (whose programs are built for machine 0x27). nullptr: not told apart yet.
const char16_t* ruleM6700Gorilla(std::u16string_view version);
const char16_t* ruleM6700Bear(std::u16string_view version);

}  // namespace kestrava
