// Printer text on a terminal. A printer's answers are untrusted: an escape sequence in a
// serial number would retitle the terminal, clear it or move the cursor to overwrite the
// lines above. Shown here, every control character is written out visibly instead.
#pragma once

#include <string>
#include <string_view>

namespace kestrava {

// `text` with every control character but tab written out: C0 and DEL as "\x1B", C1 as
// "\u009B". With `keepLineEnds` a CR LF pair (the report's line end) stays as it is; a
// lone CR or LF is still written out.
std::u16string visibleControls(std::u16string_view text, bool keepLineEnds = false);

}  // namespace kestrava
