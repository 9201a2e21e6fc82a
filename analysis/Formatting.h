// Formatting: labels, operations, operands and comments in columns.
//
//   :loop   jz     O done   ; comment
//           decr   O
//           jump   loop
//
// Only blanks change: every line keeps its tokens in their order, so the
// program is the same. A line whose tokens do not form a statement (it holds
// an error, or a character that begins no token) is left as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Document.h"

namespace Vorn::Analysis {

struct LineEdit {
    std::int32_t line = 0;
    std::string text;  // the line's new text, without its line feed
};

// The lines that change, in order.
std::vector<LineEdit> formatDocument(const Document& document);

}  // namespace Vorn::Analysis
