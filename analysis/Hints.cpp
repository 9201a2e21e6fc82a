#include "analysis/Hints.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

#include "analysis/SourceTokens.h"
#include "analysis/Spelling.h"
#include "analysis/Words.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"
#include "text/Lines.h"

namespace Vorn::Analysis {

namespace {

using Assembly::TokenKind;

struct ErrorFacts {
    enum class Kind : std::uint8_t {
        Other,
        ExpectingEnd,
        ExpectingRegister,
        ExpectingLabel,
        ExpectingOther,
        InvalidToken,
        UndefinedName,
        RedefinedReserved,  // an operation's or a register's name bound by a label or '='
    };
    Kind kind = Kind::Other;
    std::optional<Assembly::Token> found;  // the token an Expecting error names
    std::string name;                      // the name of an undefined label
};

ErrorFacts factsOf(const Assembly::AssemblyError& error) {
    using Kind = ErrorFacts::Kind;
    using Assembly::ParseErrorKind;
    ErrorFacts facts;
    facts.found = error.found;
    switch (error.kind) {
        case ParseErrorKind::ExpectingEndOfLineOrFile:
            facts.kind = Kind::ExpectingEnd;
            break;
        case ParseErrorKind::ExpectingRegister:
            facts.kind = Kind::ExpectingRegister;
            break;
        case ParseErrorKind::ExpectingLabel:
            facts.kind = Kind::ExpectingLabel;
            break;
        case ParseErrorKind::ExpectingNumberOrIdentifier:
        case ParseErrorKind::ExpectingIdentifier:
        case ParseErrorKind::ExpectingDefinition:
        case ParseErrorKind::ExpectingNumber:
        case ParseErrorKind::ExpectingRepetition:
        case ParseErrorKind::ExpectingComment:
            facts.kind = Kind::ExpectingOther;
            break;
        case ParseErrorKind::InvalidToken:
            facts.kind = Kind::InvalidToken;
            break;
        case ParseErrorKind::UndefinedLabel:
            facts.kind = Kind::UndefinedName;
            facts.name = error.name;
            break;
        case ParseErrorKind::RedefinitionOfRegister:
        case ParseErrorKind::RedefinitionOfOperation:
            facts.kind = Kind::RedefinedReserved;
            if (facts.found && facts.found->getKind() == TokenKind::Identifier) {
                facts.name = facts.found->identifierText();
            }
            facts.found.reset();
            break;
        case ParseErrorKind::RedefinitionOfLabel:
        case ParseErrorKind::NumberOutOfRange:
        case ParseErrorKind::MemoryFull:
        case ParseErrorKind::AddressOutOfBounds:
        case ParseErrorKind::NotAnIdentifier:
        case ParseErrorKind::NotANumber:
        case ParseErrorKind::CircularDefinition:
            break;
    }
    return facts;
}

bool is(const SourceToken& token, TokenKind kind, std::string_view text = {}) {
    return token.kind == kind && (text.empty() || token.text == text);
}

// The tokens of the statement: the labels before it left out.
std::vector<SourceToken> statementOf(std::vector<SourceToken> tokens) {
    std::size_t first = 0;
    while (first + 1 < tokens.size() && is(tokens[first], TokenKind::Label) &&
           is(tokens[first + 1], TokenKind::Identifier)) {
        first += 2;
    }
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(first));
    return tokens;
}

// The operation a misspelt name most likely means.
std::optional<std::string> likelyOperation(std::string_view name) {
    std::vector<std::string_view> names;
    for (const OperationShape& shape : operationTable) {
        names.push_back(shape.name);
    }
    return nearestName(name, names, true);
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string commaHint(const std::vector<SourceToken>& tokens) {
    std::string fixed;
    for (const SourceToken& token : tokens) {
        if (is(token, TokenKind::EndOfLine) || is(token, TokenKind::Comment)) {
            break;
        }
        if (!is(token, TokenKind::None, ",")) {
            fixed += (fixed.empty() ? "" : " ") + std::string(token.text);
        }
    }
    return "Operands are separated by blanks, not commas: write " + quoted(fixed) + ".";
}

std::string tooManyOperands(std::string_view operation) {
    const OperationShape& shape = shapeOf(operationByName(operation));
    const int registers = (shape.hasRegister1 ? 1 : 0) + (shape.hasRegister2 ? 1 : 0);
    std::string wants;
    if (registers == 0 && !shape.hasAddress) {
        wants = "no operand";
    } else if (shape.hasAddress) {
        wants = registers == 1 ? "a register and an address" : "one address";
    } else {
        wants = registers == 2 ? "two registers" : "one register";
    }
    const std::string form = operandForm(operation);
    std::string hint =
        quoted(operation) + " takes " + wants + (form.empty() ? "" : " (" + form + ")");
    if (const auto implicit = implicitRegister(operationByName(operation))) {
        const std::string reg(nameOf(*implicit));
        switch (shape.io) {
            case InputOutput::Input:
                hint += ": it always reads into register " + reg;
                break;
            case InputOutput::Output:
                hint += ": it always prints register " + reg;
                break;
            case InputOutput::None:
                hint += ": the result always goes to register " + reg;
                break;
        }
    }
    return hint + ".";
}

}  // namespace

std::string hintForLine(const Assembly::AssemblyError& error, std::string_view lineText) {
    using Kind = ErrorFacts::Kind;
    const ErrorFacts facts = factsOf(error);
    const std::vector<SourceToken> tokens = tokenizeLine(lineText, error.position.line);
    const std::vector<SourceToken> statement = statementOf(tokens);
    const bool foundNone = facts.found && facts.found->getKind() == TokenKind::None;

    // Characters that begin no token.
    if (foundNone || facts.kind == Kind::InvalidToken) {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const SourceToken& token = tokens[i];
            if (!is(token, TokenKind::None)) {
                continue;
            }
            if (token.text == ",") {
                return commaHint(tokens);
            }
            if ((token.text == "-" || token.text == "+") && i + 1 < tokens.size() &&
                is(tokens[i + 1], TokenKind::Number) && tokens[i + 1].column == token.end()) {
                return "Numbers are written without a sign: " + quoted(token.text) +
                       " begins no token, and a data word or an address is 0 or more.";
            }
            if (token.text == "\r") {
                return "A carriage return without a line feed after it begins no token: save "
                       "the file with line feeds (or carriage return and line feed) as line ends.";
            }
            if (token.text == "#" || token.text == "/") {
                return "Comments begin with ';'.";
            }
            if (static_cast<unsigned char>(token.text[0]) >= 0x80) {
                return "Only ASCII letters, digits and '_' make names; this character begins "
                       "no token.";
            }
            break;
        }
    }

    // A stray colon: a label is written with its colon first.
    if (facts.found && facts.found->getKind() == TokenKind::Label) {
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            if (is(tokens[i], TokenKind::Label) && is(tokens[i - 1], TokenKind::Identifier) &&
                tokens[i - 1].end() == tokens[i].column) {
                return "A label is written with its colon first: " +
                       quoted(":" + std::string(tokens[i - 1].text)) + ".";
            }
        }
        return "':' begins a label, which is written before the statement it names.";
    }
    if (facts.kind == Kind::ExpectingOther && !statement.empty() &&
        is(statement[0], TokenKind::Label)) {
        return "':' must be followed by the label's name, with nothing between them.";
    }

    // A register where the register must be a capital letter.
    if (facts.kind == Kind::ExpectingRegister && facts.found &&
        facts.found->getKind() == TokenKind::Identifier) {
        const std::string text = facts.found->getIdentifier();
        const std::string upper =
            text.size() == 1
                ? std::string(1,
                              static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))))
                : text;
        if (text != upper && isRegisterName(upper)) {
            return "Register names are capital letters: write " + quoted(upper) + ", not " +
                   quoted(text) + ".";
        }
        return "A register operand is one of the registers A to P, written out; a name "
               "defined with '=' cannot stand for a register.";
    }

    // A register name where an address or a data word belongs.
    if (facts.kind == Kind::UndefinedName && isRegisterName(facts.name)) {
        return quoted(facts.name) +
               " is a register, not an address: an address is a number or a label. To use the "
               "address a register holds, use 'loadi' or 'storei'.";
    }
    if (facts.kind == Kind::UndefinedName && isOperationName(facts.name)) {
        return quoted(facts.name) + " is an operation name, which no label or definition can take.";
    }
    // An operation's or a register's name as a label or a definition.
    if (facts.kind == Kind::RedefinedReserved && !facts.name.empty()) {
        const bool definition = !tokens.empty() && is(tokens[0], TokenKind::Definition);
        return quoted(facts.name) + " is the name of " +
               (isRegisterName(facts.name) ? "a register" : "an operation") +
               (definition ? " and cannot be defined with '='." : " and cannot be a label.");
    }
    // Any other name that nothing defines: where it is first used.
    if (facts.kind == Kind::UndefinedName && !facts.name.empty() && error.position.line > 0 &&
        !isRegisterName(facts.name) && !isOperationName(facts.name)) {
        return quoted(facts.name) + " is first used on line " +
               std::to_string(error.position.line) + ", and no label (':" + facts.name +
               "') or definition ('= " + facts.name + " ...') gives it a value.";
    }
    if (facts.kind == Kind::ExpectingLabel && facts.found &&
        facts.found->getKind() == TokenKind::Identifier &&
        isRegisterName(facts.found->identifierText())) {
        return "A register name cannot be a data word; an instruction begins with an operation "
               "name.";
    }

    // A hexadecimal number: "0x10" is the number 0, then the name x10.
    if (facts.kind == Kind::ExpectingEnd) {
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const SourceToken& number = tokens[i - 1];
            const SourceToken& name = tokens[i];
            if (is(number, TokenKind::Number, "0") && is(name, TokenKind::Identifier) &&
                name.column == number.end() && (name.text[0] == 'x' || name.text[0] == 'X')) {
                return "Numbers are decimal: " +
                       quoted(std::string(number.text) + std::string(name.text)) +
                       " is read as the number 0 and then the name " + quoted(name.text) + ".";
            }
        }
    }

    if (facts.kind == Kind::ExpectingEnd && !statement.empty() &&
        is(statement[0], TokenKind::Identifier)) {
        const std::string_view first = statement[0].text;
        if (isOperationName(first)) {
            return tooManyOperands(first);
        }
        if (auto meant = likelyOperation(first)) {
            return quoted(first) +
                   " is not an operation name, so the line is read as a data "
                   "word, which stands alone; did you mean " +
                   quoted(*meant) + "?";
        }
        return quoted(first) +
               " is not an operation name, so the line is read as a data word, which stands "
               "alone on its line.";
    }
    return {};
}

std::string hintFor(const Assembly::AssemblyError& error, std::string_view source) {
    if (error.position.line < 1) {
        return hintForLine(error, {});
    }
    const auto line = Text::lineAt(source, static_cast<std::size_t>(error.position.line - 1));
    return hintForLine(error, line ? line->text : std::string_view());
}

}  // namespace Vorn::Analysis
