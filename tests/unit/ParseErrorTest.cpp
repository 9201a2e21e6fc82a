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
    };
    const Case cases[] = {
        {std::make_shared<ExpectingNumberOrIdentifier>(endOfLine(), 3),
         "(line 3, token end-of-line) expecting number or identifier"},
        {std::make_shared<ExpectingIdentifier>(number(5), 1),
         "(line 1, token number('5')) expecting identifier"},
        {std::make_shared<ExpectingDefinition>(Token(), 2),
         "(line 2, token none) expecting definition"},
        {std::make_shared<ExpectingLabel>(identifier("A"), 7),
         "(line 7, token identifier('A')) expecting label"},
        {std::make_shared<ExpectingNumber>(endOfLine(), 2),
         "(line 2, token end-of-line) expecting number"},
        {std::make_shared<ExpectingRepetition>(identifier("x"), 1),
         "(line 1, token identifier('x')) expecting repetition"},
        {std::make_shared<ExpectingRegister>(number(3), 4),
         "(line 4, token number('3')) expecting register"},
        {std::make_shared<ExpectingComment>(number(1), 9),
         "(line 9, token number('1')) expecting comment"},
        {std::make_shared<ExpectingEndOfLineOrFile>(Token(), 5),
         "(line 5, token none) expecting end-of-line or end-of-file"},
        {std::make_shared<RedefinitionOfLabel>(identifier("x"), 3),
         "(line 3) redefinition of label"},
        {std::make_shared<RedefinitionOfRegister>(identifier("B"), 1),
         "(line 1) redefinition of register"},
        {std::make_shared<RedefinitionOfOperation>(identifier("add"), 2),
         "(line 2) redefinition of operation"},
        {std::make_shared<AddressOutOfBounds>(65536), "invalid address 65536"},
        {std::make_shared<AddressOutOfBounds>(-1), "invalid address -1"},
        {std::make_shared<InvalidToken>(1), "(line 1) invalid token"},
        {std::make_shared<NotAnIdentifier>(), "not an identifier"},
        {std::make_shared<NotANumber>(), "not a number"},
        {std::make_shared<UndefinedLabel>("start"), "undefined label 'start'"},
        {std::make_shared<NumberOutOfRange>(12), "(line 12) number out of range"},
        {std::make_shared<MemoryFull>(70000), "(line 70000) memory full"},
        {std::make_shared<CircularDefinition>("a"), "circular definition of 'a'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(message(*c.error), c.text);
        EXPECT_EQ(message(*c.error), c.text) << "printing twice writes the same text";
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
