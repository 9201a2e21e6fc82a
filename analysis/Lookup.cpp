#include "analysis/Lookup.h"

#include <algorithm>
#include <tuple>

#include "machine/InstructionSet.h"
#include "text/Identifier.h"

namespace Vorn::Analysis {

namespace {

using Assembly::ProgramSymbol;
using Assembly::SourcePosition;

SourcePosition placeOf(const SourceToken& token) {
    return {token.line, token.column, token.length()};
}

// Every identifier written as `name`: the places of a name the assembler has
// no entry for (and so no uses).
std::vector<SourcePosition> occurrences(const Document& document, std::string_view name) {
    std::vector<SourcePosition> places;
    for (const SourceToken& token : tokenize(document.text())) {
        if (token.kind == Assembly::TokenKind::Identifier && token.text == name) {
            places.push_back(placeOf(token));
        }
    }
    return places;
}

}  // namespace

std::optional<NameAt> nameAt(const Document& document, std::int32_t line, std::int32_t column) {
    for (const SourceToken& token : tokenizeLine(document.line(line), line)) {
        if (token.kind != Assembly::TokenKind::Identifier || column < token.column ||
            column > token.end()) {
            continue;
        }
        NameAt found;
        found.token = token;
        if (isOperationName(token.text)) {
            found.kind = NameAt::Kind::Operation;
        } else if (isRegisterName(token.text)) {
            found.kind = NameAt::Kind::Register;
        } else if ((found.symbol = document.names().symbol(token.text))) {
            found.kind = NameAt::Kind::Symbol;
        }
        return found;
    }
    return std::nullopt;
}

std::optional<SourcePosition> definitionAt(const Document& document, std::int32_t line,
                                           std::int32_t column) {
    const auto name = nameAt(document, line, column);
    if (!name || !name->symbol || name->symbol->definition.line < 1) {
        return std::nullopt;
    }
    return name->symbol->definition;
}

std::vector<SourcePosition> referencesAt(const Document& document, std::int32_t line,
                                         std::int32_t column, bool withDefinition) {
    const auto name = nameAt(document, line, column);
    if (!name) {
        return {};
    }
    if (name->kind == NameAt::Kind::Unknown) {
        return occurrences(document, name->token.text);
    }
    if (!name->symbol) {
        return {};
    }
    std::vector<SourcePosition> places = document.usesOf(*name->symbol);
    if (withDefinition && name->symbol->definition.line > 0) {
        places.push_back(name->symbol->definition);
    }
    std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) {
        return std::tie(a.line, a.column) < std::tie(b.line, b.column);
    });
    return places;
}

Rename renameAt(const Document& document, std::int32_t line, std::int32_t column,
                std::string_view newName) {
    const auto name = nameAt(document, line, column);
    const auto refused = [](std::string why) { return Rename{{}, std::move(why)}; };
    if (!name) {
        return refused("There is no name here to rename.");
    }
    const std::string old(name->token.text);
    if (name->kind == NameAt::Kind::Operation) {
        return refused("'" + old + "' is an operation name: it cannot be renamed.");
    }
    if (name->kind == NameAt::Kind::Register) {
        return refused("'" + old + "' is a register name: it cannot be renamed.");
    }
    if (name->symbol && name->symbol->kind == ProgramSymbol::Kind::Predefined) {
        return refused("'" + old + "' is predefined: it cannot be renamed.");
    }
    const std::string wanted(newName);
    if (!Text::isIdentifier(wanted)) {
        return refused("'" + wanted +
                       "' is not a name: a name is letters, digits and '_', not starting with "
                       "a digit.");
    }
    if (isOperationName(wanted)) {
        return refused("'" + wanted + "' is an operation name, which no label can take.");
    }
    if (isRegisterName(wanted)) {
        return refused("'" + wanted + "' is a register name, which no label can take.");
    }
    if (wanted != old && document.names().symbol(wanted)) {
        return refused("'" + wanted + "' is already bound.");
    }
    return {referencesAt(document, line, column, true), {}};
}

}  // namespace Vorn::Analysis
