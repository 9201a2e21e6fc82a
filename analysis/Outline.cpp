#include "analysis/Outline.h"

#include <algorithm>
#include <tuple>

#include "analysis/Hover.h"
#include "analysis/SourceTokens.h"
#include "machine/InstructionSet.h"

namespace Vorn::Analysis {

using Assembly::ProgramSymbol;
using Assembly::TokenKind;

std::vector<OutlineSymbol> outlineOf(const Document& document) {
    std::vector<OutlineSymbol> outline;
    for (const ProgramSymbol& symbol : document.names().symbols) {
        if (symbol.kind == ProgramSymbol::Kind::Predefined || symbol.definition.line < 1) {
            continue;
        }
        OutlineSymbol entry;
        entry.isLabel = symbol.kind == ProgramSymbol::Kind::Label;
        entry.name = symbol.name;
        entry.definition = symbol.definition;
        if (entry.isLabel) {
            entry.detail = "address " + decimalAndHex(symbol.number.value_or(0));
        } else {
            entry.detail = "= " + (symbol.aliasOf ? *symbol.aliasOf : std::string());
            if (symbol.number) {
                entry.detail += symbol.aliasOf ? " → " + std::to_string(*symbol.number)
                                               : std::to_string(*symbol.number);
            }
        }
        outline.push_back(std::move(entry));
    }
    std::sort(outline.begin(), outline.end(), [](const auto& a, const auto& b) {
        return std::tie(a.definition.line, a.definition.column) <
               std::tie(b.definition.line, b.definition.column);
    });
    return outline;
}

std::vector<ClassedToken> classify(const Document& document) {
    std::vector<ClassedToken> classed;
    const Assembly::Program& program = document.names();
    for (const SourceToken& token : tokenize(document.text())) {
        TokenClass tokenClass = TokenClass::Name;
        switch (token.kind) {
            case TokenKind::EndOfFile:
            case TokenKind::EndOfLine:
            case TokenKind::None:
                continue;
            case TokenKind::Comment:
                tokenClass = TokenClass::Comment;
                break;
            case TokenKind::Definition:
            case TokenKind::Label:
            case TokenKind::Repetition:
                tokenClass = TokenClass::Punctuation;
                break;
            case TokenKind::Number:
                tokenClass = TokenClass::Number;
                break;
            case TokenKind::Identifier:
                if (isOperationName(token.text)) {
                    tokenClass = TokenClass::Operation;
                } else if (isRegisterName(token.text)) {
                    tokenClass = TokenClass::Register;
                } else if (const ProgramSymbol* symbol = program.symbol(token.text)) {
                    tokenClass = symbol->kind == ProgramSymbol::Kind::Label
                                     ? TokenClass::Label
                                     : TokenClass::Definition;
                }
                break;
        }
        classed.push_back({token.line, token.column, token.length(), tokenClass});
    }
    return classed;
}

}  // namespace Vorn::Analysis
