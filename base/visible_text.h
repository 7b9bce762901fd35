// Outside text made safe to show. A printer's answers, a scenario or a trace file are
// untrusted: an escape sequence in a serial number would retitle a terminal, clear it or
// move the cursor to overwrite the lines above, and a line end inside a value would make a
// line of its own in the report. Shown here, such characters are written out visibly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava {

// `text` with every control character but tab written out: C0 and DEL as "\x1B", C1 as
// "\u009B". With `keepLineEnds` a CR LF pair (the report's line end) stays as it is; a
// lone CR or LF is still written out.
std::u16string visibleControls(std::u16string_view text, bool keepLineEnds = false);

// `text` with every character that ends a line written out the same way (CR, LF, vertical
// tab, form feed, U+0085, U+2028, U+2029), so that a value stays on its line; nothing else
// changes.
std::u16string visibleLineBreaks(std::u16string_view text);

// A piece of outside text (UTF-8, or any bytes) for a message: at most `maxCharacters`
// of it, then "...", with every control character written out, so a field echoed in an
// error can neither reach the terminal raw nor flood it.
std::string visibleExcerpt(std::string_view text, std::size_t maxCharacters = 80);

// The same in double quotes, for a field a message names: "kind" or "\x1B]0;...".
std::string quotedExcerpt(std::string_view text, std::size_t maxCharacters = 80);

}  // namespace kestrava
