#include "analysis/Hints.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

#include "analysis/SourceTokens.h"
#include "analysis/Words.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"

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
        case ParseErrorKind::RedefinitionOfLabel:
        case ParseErrorKind::RedefinitionOfRegister:
        case ParseErrorKind::RedefinitionOfOperation:
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

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

// The operation a misspelt name most likely means.
std::optional<std::string_view> likelyOperation(std::string_view name) {
    const std::string lower = lowered(name);
    std::optional<std::string_view> best;
    std::size_t bestDistance = name.size() <= 3 ? 1 : 2;
    for (const OperationShape& shape : operationTable) {
        const std::size_t distance = lower == shape.name ? 0 : editDistance(lower, shape.name);
        if (distance <= bestDistance && (!best || distance < editDistance(lower, *best))) {
            best = shape.name;
            bestDistance = distance;
        }
    }
    return best;
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
    std::string hint = quoted(operation) + " takes " + wants + " (" + operandForm(operation) + ")";
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
    std::int32_t line = 1;
    std::size_t start = 0;
    while (line < error.position.line) {
        const std::size_t feed = source.find('\n', start);
        if (feed == std::string_view::npos) {
            return hintForLine(error, {});
        }
        start = feed + 1;
        ++line;
    }
    const std::size_t end = std::min(source.find('\n', start), source.size());
    return hintForLine(error, source.substr(start, end - start));
}

}  // namespace Vorn::Analysis
