#include "assembly/ParseError.h"

#include <ostream>
#include <string>
#include <string_view>

namespace Vorn::Assembly {

ParseErrorFamily familyOf(ParseErrorKind kind) {
    using Kind = ParseErrorKind;
    switch (kind) {
        case Kind::ExpectingNumberOrIdentifier:
        case Kind::ExpectingIdentifier:
        case Kind::ExpectingDefinition:
        case Kind::ExpectingLabel:
        case Kind::ExpectingNumber:
        case Kind::ExpectingRepetition:
        case Kind::ExpectingRegister:
        case Kind::ExpectingComment:
        case Kind::ExpectingEndOfLineOrFile:
            return ParseErrorFamily::Expecting;
        case Kind::RedefinitionOfLabel:
        case Kind::RedefinitionOfRegister:
        case Kind::RedefinitionOfOperation:
            return ParseErrorFamily::Redefinition;
        case Kind::InvalidToken:
        case Kind::NumberOutOfRange:
        case Kind::MemoryFull:
            return ParseErrorFamily::Line;
        case Kind::AddressOutOfBounds:
            return ParseErrorFamily::Address;
        case Kind::NotAnIdentifier:
        case Kind::NotANumber:
            return ParseErrorFamily::Plain;
        case Kind::UndefinedLabel:
        case Kind::CircularDefinition:
            return ParseErrorFamily::Name;
    }
    return ParseErrorFamily::Plain;
}

std::ostream& operator<<(std::ostream& out, const ParseError& error) {
    return error.print(out);
}

std::ostream& Expecting::printPrefix(std::ostream& out) const {
    return out << "(line " << line << ", token " << token << ") expecting ";
}

std::ostream& Redefinition::printPrefix(std::ostream& out) const {
    return out << "(line " << line << ") redefinition of ";
}

#define VORN_PRINT_WITH_PREFIX(Name, word)               \
    std::ostream& Name::print(std::ostream& out) const { \
        return printPrefix(out) << word;                 \
    }

VORN_PRINT_WITH_PREFIX(ExpectingNumberOrIdentifier, "number or identifier")
VORN_PRINT_WITH_PREFIX(ExpectingIdentifier, "identifier")
VORN_PRINT_WITH_PREFIX(ExpectingDefinition, "definition")
VORN_PRINT_WITH_PREFIX(ExpectingLabel, "label")
VORN_PRINT_WITH_PREFIX(ExpectingNumber, "number")
VORN_PRINT_WITH_PREFIX(ExpectingRepetition, "repetition")
VORN_PRINT_WITH_PREFIX(ExpectingRegister, "register")
VORN_PRINT_WITH_PREFIX(ExpectingComment, "comment")
VORN_PRINT_WITH_PREFIX(ExpectingEndOfLineOrFile, "end-of-line or end-of-file")
VORN_PRINT_WITH_PREFIX(RedefinitionOfLabel, "label")
VORN_PRINT_WITH_PREFIX(RedefinitionOfRegister, "register")
VORN_PRINT_WITH_PREFIX(RedefinitionOfOperation, "operation")

#undef VORN_PRINT_WITH_PREFIX

std::ostream& InvalidToken::print(std::ostream& out) const {
    return out << "(line " << line << ") invalid token";
}

std::ostream& NumberOutOfRange::print(std::ostream& out) const {
    return out << "(line " << line << ") number out of range";
}

std::ostream& MemoryFull::print(std::ostream& out) const {
    return out << "(line " << line << ") memory full";
}

std::ostream& AddressOutOfBounds::print(std::ostream& out) const {
    return out << "invalid address " << address;
}

std::ostream& NotAnIdentifier::print(std::ostream& out) const {
    return out << "not an identifier";
}

std::ostream& NotANumber::print(std::ostream& out) const {
    return out << "not a number";
}

namespace {

std::string quotedAfter(std::string_view words, std::string_view name) {
    std::string text;
    text.reserve(words.size() + name.size() + 2);
    text.append(words).append(1, '\'').append(name).append(1, '\'');
    return text;
}

}  // namespace

std::string UndefinedLabel::messageFor(std::string_view missing) {
    return quotedAfter("undefined label ", missing);
}

std::ostream& UndefinedLabel::print(std::ostream& out) const {
    return out << messageFor(name);
}

std::string CircularDefinition::messageFor(std::string_view repeated) {
    return quotedAfter("circular definition of ", repeated);
}

std::ostream& CircularDefinition::print(std::ostream& out) const {
    return out << messageFor(name);
}

}  // namespace Vorn::Assembly
