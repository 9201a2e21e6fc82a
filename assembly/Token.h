// The current lexical token of the source: what the lexer (Lexer.h) reads into
// and what the statement handlers look at.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <limits>
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
    Token() = default;
    // A copy owns its text, also when the original borrows it.
    Token(const Token& other);
    Token& operator=(const Token& other);
    ~Token() = default;

    TokenKind getKind() const { return kind; }
    // Throws NotAnIdentifier / NotANumber when the token is of another kind.
    std::string getIdentifier() const;
    std::int32_t getNumber() const;
    // The identifier's text without a copy; meaningful only for an identifier.
    std::string_view identifierText() const { return borrowed ? borrowedText : text; }

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
        borrowed = false;
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
        borrowed = false;
        return text;
    }
    // Makes the token an identifier whose characters stay where they are in
    // the source text, which must outlive the borrowing: the lexer copies
    // nothing for a name it finds whole in its stream's buffer.
    void setIdentifierInPlace(std::string_view source) {
        kind = TokenKind::Identifier;
        borrowedText = source;
        borrowed = true;
    }
    // Copies borrowed characters, so that the token outlives the source text.
    void keepText();
    // Forgets borrowed characters without a copy (no allocation: for a
    // destructor that runs while an error leaves).
    void dropBorrowedText() noexcept {
        if (borrowed) {
            kind = TokenKind::None;
            borrowedText = {};
            borrowed = false;
        }
    }

    // Where the token is in its line: the byte offset of its first character
    // (from 0) and its length in bytes. The lexer sets both for every token;
    // an end of file has length 0, a line end covers its CR LF or LF.
    std::int32_t column() const { return clamped(start_ - lineStart_); }
    std::int32_t length() const { return clamped(end_ - start_); }
    // The place as the lexer finds it: offsets from the start of its input
    // of the line's first byte, the token's first byte and the byte after it.
    void setPlace(std::int64_t lineStart, std::int64_t start, std::int64_t end) {
        lineStart_ = lineStart;
        start_ = start;
        end_ = end;
    }
    void setPlaceOf(const Token& other) { setPlace(other.lineStart_, other.start_, other.end_); }

  private:
    std::string text;
    std::string_view borrowedText;
    bool borrowed = false;
    // A place too far for 32 bits (a line or a token of over 2 GB) shows the
    // largest value.
    static std::int32_t clamped(std::int64_t value) {
        constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(value < largest ? value : largest);
    }

    std::int32_t number = 0;
    TokenKind kind = TokenKind::None;
    std::int64_t lineStart_ = 0;
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
};

// Prints the token as messages show it: identifier('loop'), number('42'), end-of-line...
std::ostream& operator<<(std::ostream& out, const Token& token);

}  // namespace Vorn::Assembly
