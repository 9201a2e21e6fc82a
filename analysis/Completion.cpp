#include "analysis/Completion.h"

#include "analysis/Hover.h"
#include "analysis/SourceTokens.h"
#include "analysis/Words.h"
#include "machine/InstructionSet.h"

namespace Vorn::Analysis {

namespace {

using Assembly::ProgramSymbol;
using Assembly::TokenKind;

enum class Wanted : std::uint8_t { Nothing, Statement, Register, Name };

// The whole tokens before the cursor (the word being typed left out), the
// labels before the statement skipped.
std::vector<SourceToken> before(const Document& document, std::int32_t line, std::int32_t column) {
    std::vector<SourceToken> tokens;
    for (const SourceToken& token : tokenizeLine(document.line(line), line)) {
        if (token.end() >= column) {
            break;
        }
        tokens.push_back(token);
    }
    std::size_t first = 0;
    while (first + 1 < tokens.size() && tokens[first].kind == TokenKind::Label &&
           tokens[first + 1].kind == TokenKind::Identifier) {
        first += 2;
    }
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(first));
    return tokens;
}

Wanted wantedAfter(const std::vector<SourceToken>& tokens) {
    if (tokens.empty()) {
        return Wanted::Statement;
    }
    const SourceToken& first = tokens[0];
    if (first.kind == TokenKind::Comment || tokens.back().kind == TokenKind::Comment) {
        return Wanted::Nothing;
    }
    if (first.kind == TokenKind::Definition) {
        return tokens.size() == 2 ? Wanted::Name : Wanted::Nothing;
    }
    std::size_t operation = 0;
    if (first.kind == TokenKind::Repetition) {
        if (tokens.size() == 2) {
            return Wanted::Statement;
        }
        operation = 2;
    }
    if (operation >= tokens.size() || tokens[operation].kind != TokenKind::Identifier) {
        return Wanted::Nothing;
    }
    const auto op = findOperation(tokens[operation].text);
    if (!op) {
        return Wanted::Nothing;
    }
    const OperationShape& shape = shapeOf(*op);
    const std::size_t operands = tokens.size() - operation - 1;
    const std::size_t registers = (shape.hasRegister1 ? 1 : 0) + (shape.hasRegister2 ? 1 : 0);
    if (operands < registers) {
        return Wanted::Register;
    }
    return operands == registers && shape.hasAddress ? Wanted::Name : Wanted::Nothing;
}

void addNames(const Document& document, std::vector<Completion>& out) {
    for (const ProgramSymbol& symbol : document.names().symbols) {
        Completion item;
        item.label = symbol.name;
        switch (symbol.kind) {
            case ProgramSymbol::Kind::Label:
                item.kind = Completion::Kind::Label;
                item.detail = "label, address " + decimalAndHex(symbol.number.value_or(0));
                break;
            case ProgramSymbol::Kind::Definition:
                item.kind = Completion::Kind::Definition;
                item.detail = symbol.number ? "definition, " + std::to_string(*symbol.number)
                                            : std::string("definition");
                break;
            case ProgramSymbol::Kind::Predefined:
                item.kind = Completion::Kind::Predefined;
                item.detail = "predefined, 65535: the machine halts";
                break;
        }
        out.push_back(std::move(item));
    }
}

}  // namespace

std::vector<Completion> completionsAt(const Document& document, std::int32_t line,
                                      std::int32_t column) {
    std::vector<Completion> items;
    const Wanted wanted = wantedAfter(before(document, line, column));
    if (wanted == Wanted::Statement) {
        for (std::size_t op = 0; op < operationCount; ++op) {
            const auto operation = static_cast<Operation>(op);
            const std::string form = operandForm(operation);
            items.push_back({Completion::Kind::Operation, std::string(nameOf(operation)),
                             std::string(nameOf(operation)) + (form.empty() ? "" : " " + form) +
                                 ": " + std::string(operationEffect(operation))});
        }
    }
    if (wanted == Wanted::Register) {
        for (std::size_t reg = 0; reg < registerCount; ++reg) {
            const auto id = static_cast<RegisterId>(reg);
            items.push_back(
                {Completion::Kind::Register, std::string(nameOf(id)), registerRole(id)});
        }
    }
    if (wanted == Wanted::Statement || wanted == Wanted::Name) {
        addNames(document, items);
    }
    return items;
}

}  // namespace Vorn::Analysis
