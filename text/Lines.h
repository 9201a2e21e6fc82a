// A text's lines. A line is what lies between two line feeds; the line
// feeds belong to no line. A last line without a line feed is a line, and a
// text that ends with a line feed has no empty line after it (so "" has no
// line and "a\n" one). A carriage return stays in its line: whoever reads
// "\r\n" as one line end leaves it out with withoutCarriageReturn.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vorn::Text {

std::vector<std::string_view> splitLines(std::string_view text);

// The offset of each line's first character: 0, then the offset after each
// line feed (also after a final one, where an editor puts its cursor).
std::vector<std::size_t> lineStarts(std::string_view text);

// Line `index` (from 0): its offset and its characters; none when the text
// has fewer line feeds than `index`.
struct TextLine {
    std::size_t start = 0;
    std::string_view text;
};
std::optional<TextLine> lineAt(std::string_view text, std::size_t index);

// The line without the carriage return of a "\r\n" line end.
constexpr std::string_view withoutCarriageReturn(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// For a terminal or a one-line message: control bytes as \n, \t, \r or
// \xHH, so that no text can move the cursor, change the colours, split the
// line or (a NUL) cut it short.
std::string visible(std::string_view text);

}  // namespace Vorn::Text
