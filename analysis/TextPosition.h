// Columns as editors count them. The source is bytes; the language server
// protocol counts a line's characters in UTF-16 code units. A byte that does
// not begin or continue a valid UTF-8 sequence counts as one unit (editors
// show it as one replacement character).
#pragma once

#include <cstdint>
#include <string_view>

namespace Vorn::Analysis {

// The UTF-16 column of the byte offset `byteColumn` in the line (clamped to
// the line's length).
std::int32_t utf16Column(std::string_view line, std::int32_t byteColumn);

// The byte offset of the UTF-16 column `column` in the line: the start of the
// character it falls in, or the line's length past its end.
std::int32_t byteColumn(std::string_view line, std::int32_t column);

}  // namespace Vorn::Analysis
