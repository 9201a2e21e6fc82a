#include "assembly/Token.h"

#include <ostream>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {

Token::Token(const Token& other)
    : text(other.identifierText()),
      number(other.number),
      kind(other.kind),
      lineStart_(other.lineStart_),
      start_(other.start_),
      end_(other.end_) {}

Token& Token::operator=(const Token& other) {
    if (this != &other) {
        text.assign(other.identifierText());
        borrowed = false;
        number = other.number;
        kind = other.kind;
        setPlaceOf(other);
    }
    return *this;
}

void Token::keepText() {
    if (borrowed) {
        text.assign(borrowedText);
        borrowed = false;
    }
}

std::string Token::getIdentifier() const {
    if (kind != TokenKind::Identifier) {
        throw NotAnIdentifier{};
    }
    return std::string(identifierText());
}

std::int32_t Token::getNumber() const {
    if (kind != TokenKind::Number) {
        throw NotANumber{};
    }
    return number;
}

std::ostream& operator<<(std::ostream& out, const Token& token) {
    switch (token.getKind()) {
        case TokenKind::EndOfFile:
            return out << "end-of-file";
        case TokenKind::EndOfLine:
            return out << "end-of-line";
        case TokenKind::Comment:
            return out << "comment(;)";
        case TokenKind::Definition:
            return out << "definition(=)";
        case TokenKind::Label:
            return out << "label(:)";
        case TokenKind::Repetition:
            return out << "repetition(*)";
        case TokenKind::Identifier:
            return out << "identifier('" << token.identifierText() << "')";
        case TokenKind::Number:
            return out << "number('" << token.getNumber() << "')";
        case TokenKind::None:
            return out << "none";
    }
    return out << "none";
}

}  // namespace Vorn::Assembly
