#include "assembly/ParseError.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

namespace Vorn::Assembly {
namespace {

std::string message(const ParseError& error) {
    std::ostringstream out;
    out << error;
    return out.str();
}

Token identifier(const char* text) {
    Token token;
    token.setIdentifier(text);
    return token;
}

Token number(std::int32_t n) {
    Token token;
    token.setNumber(n);
    return token;
}

Token endOfLine() {
    Token token;
    token.setEndOfLine();
    return token;
}

TEST(ParseError, MessagesAreExact) {
    struct Case {
        std::shared_ptr<ParseError> error;
        const char* text;
        ParseErrorKind kind;
        ParseErrorFamily family;
    };
    const Case cases[] = {
        {std::make_shared<ExpectingNumberOrIdentifier>(endOfLine(), 3),
         "(line 3, token end-of-line) expecting number or identifier",
         ParseErrorKind::ExpectingNumberOrIdentifier, ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingIdentifier>(number(5), 1),
         "(line 1, token number('5')) expecting identifier", ParseErrorKind::ExpectingIdentifier,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingDefinition>(Token(), 2),
         "(line 2, token none) expecting definition", ParseErrorKind::ExpectingDefinition,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingLabel>(identifier("A"), 7),
         "(line 7, token identifier('A')) expecting label", ParseErrorKind::ExpectingLabel,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingNumber>(endOfLine(), 2),
         "(line 2, token end-of-line) expecting number", ParseErrorKind::ExpectingNumber,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingRepetition>(identifier("x"), 1),
         "(line 1, token identifier('x')) expecting repetition",
         ParseErrorKind::ExpectingRepetition, ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingRegister>(number(3), 4),
         "(line 4, token number('3')) expecting register", ParseErrorKind::ExpectingRegister,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingComment>(number(1), 9),
         "(line 9, token number('1')) expecting comment", ParseErrorKind::ExpectingComment,
         ParseErrorFamily::Expecting},
        {std::make_shared<ExpectingEndOfLineOrFile>(Token(), 5),
         "(line 5, token none) expecting end-of-line or end-of-file",
         ParseErrorKind::ExpectingEndOfLineOrFile, ParseErrorFamily::Expecting},
        {std::make_shared<RedefinitionOfLabel>(identifier("x"), 3),
         "(line 3) redefinition of label", ParseErrorKind::RedefinitionOfLabel,
         ParseErrorFamily::Redefinition},
        {std::make_shared<RedefinitionOfRegister>(identifier("B"), 1),
         "(line 1) redefinition of register", ParseErrorKind::RedefinitionOfRegister,
         ParseErrorFamily::Redefinition},
        {std::make_shared<RedefinitionOfOperation>(identifier("add"), 2),
         "(line 2) redefinition of operation", ParseErrorKind::RedefinitionOfOperation,
         ParseErrorFamily::Redefinition},
        {std::make_shared<AddressOutOfBounds>(65536), "invalid address 65536",
         ParseErrorKind::AddressOutOfBounds, ParseErrorFamily::Address},
        {std::make_shared<AddressOutOfBounds>(-1), "invalid address -1",
         ParseErrorKind::AddressOutOfBounds, ParseErrorFamily::Address},
        {std::make_shared<InvalidToken>(1), "(line 1) invalid token", ParseErrorKind::InvalidToken,
         ParseErrorFamily::Line},
        {std::make_shared<NotAnIdentifier>(), "not an identifier", ParseErrorKind::NotAnIdentifier,
         ParseErrorFamily::Plain},
        {std::make_shared<NotANumber>(), "not a number", ParseErrorKind::NotANumber,
         ParseErrorFamily::Plain},
        {std::make_shared<UndefinedLabel>("start"), "undefined label 'start'",
         ParseErrorKind::UndefinedLabel, ParseErrorFamily::Name},
        {std::make_shared<NumberOutOfRange>(12), "(line 12) number out of range",
         ParseErrorKind::NumberOutOfRange, ParseErrorFamily::Line},
        {std::make_shared<MemoryFull>(70000), "(line 70000) memory full",
         ParseErrorKind::MemoryFull, ParseErrorFamily::Line},
        {std::make_shared<CircularDefinition>("a"), "circular definition of 'a'",
         ParseErrorKind::CircularDefinition, ParseErrorFamily::Name},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(message(*c.error), c.text);
        EXPECT_EQ(message(*c.error), c.text) << "printing twice writes the same text";
        EXPECT_EQ(c.error->kind(), c.kind) << c.text;
        EXPECT_EQ(familyOf(c.error->kind()), c.family) << c.text;
    }
}

TEST(ParseError, ErrorsOwnCopiesOfWhatTheyPrint) {
    Token token = identifier("loop");
    const ExpectingNumber error(token, 4);
    token.setIdentifier("changed");
    EXPECT_EQ(message(error), "(line 4, token identifier('loop')) expecting number");
}

TEST(ParseError, ThrownByValueAndCaughtThroughTheBase) {
    try {
        throw RedefinitionOfLabel(identifier("end"), 6);
    } catch (const ParseError& error) {
        std::ostringstream out;
        out << "Error: " << error << ".";
        EXPECT_EQ(out.str(), "Error: (line 6) redefinition of label.");
    }
}

}  // namespace
}  // namespace Vorn::Assembly
