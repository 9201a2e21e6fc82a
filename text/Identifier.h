// The characters of a name, as the assembly language's lexer reads them:
// an ASCII letter or '_' first, then letters, digits and '_'. Every tool
// that recognises a name (the lexer, the commands' options and arguments,
// the suite reader, the language server) asks these, so a name means the
// same everywhere. Independent of the locale.
#pragma once

#include <string_view>

namespace Vorn::Text {

constexpr bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool isIdentifierStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

constexpr bool isIdentifierPart(char c) {
    return isIdentifierStart(c) || isDecimalDigit(c);
}

// The whole text is one name.
constexpr bool isIdentifier(std::string_view text) {
    if (text.empty() || !isIdentifierStart(text.front())) {
        return false;
    }
    for (const char c : text) {
        if (!isIdentifierPart(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace Vorn::Text
