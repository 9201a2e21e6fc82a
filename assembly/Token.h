// The current lexical token of the source: what the lexer (Lexer.h) reads into
// and what the statement handlers look at.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace Vorn::Assembly {

enum class TokenKind : std::int32_t {
    EndOfFile = 0,
    EndOfLine = 1,
    Comment = 2,
    Definition = 3,
    Label = 4,
    Repetition = 5,
    Identifier = 6,
    Number = 7,
    None = 8,
};

class Token {
  public:
    TokenKind getKind() const { return kind; }
    // Throws NotAnIdentifier / NotANumber when the token is of another kind.
    std::string getIdentifier() const;
    std::int32_t getNumber() const;
    // The identifier's text without a copy; meaningful only for an identifier.
    std::string_view identifierText() const { return text; }

    // One setter per kind; each leaves the field of the other kinds as it was.
    void setEndOfFile() { kind = TokenKind::EndOfFile; }
    void setEndOfLine() { kind = TokenKind::EndOfLine; }
    void setComment() { kind = TokenKind::Comment; }
    void setDefinition() { kind = TokenKind::Definition; }
    void setLabel() { kind = TokenKind::Label; }
    void setRepetition() { kind = TokenKind::Repetition; }
    void setIdentifier(std::string_view newText) {
        kind = TokenKind::Identifier;
        text.assign(newText);
    }
    void setNumber(std::int32_t n) {
        kind = TokenKind::Number;
        number = n;
    }
    void setNone() { kind = TokenKind::None; }

    // Makes the token an empty identifier and gives its text to the lexer,
    // which appends the characters in place instead of copying them.
    std::string& beginIdentifier() {
        kind = TokenKind::Identifier;
        text.clear();
        return text;
    }

  private:
    std::string text;
    std::int32_t number = 0;
    TokenKind kind = TokenKind::None;
};

// Prints the token as messages show it: identifier('loop'), number('42'), end-of-line...
std::ostream& operator<<(std::ostream& out, const Token& token);

}  // namespace Vorn::Assembly
