#include "analysis/Hover.h"

#include <cstdio>
#include <sstream>

#include "analysis/Lookup.h"
#include "analysis/Words.h"

namespace Vorn::Analysis {

namespace {

using Assembly::ProgramSymbol;

constexpr std::int64_t largestAddress = 0xFFFF;

std::string code(std::string_view text) {
    return "`" + std::string(text) + "`";
}

std::string symbolHover(const Document& document, const ProgramSymbol& symbol) {
    if (symbol.kind == ProgramSymbol::Kind::Predefined) {
        return "**" + code(symbol.name) +
               "** (predefined): " + decimalAndHex(symbol.number.value_or(0)) +
               ", the address where the machine halts";
    }
    if (symbol.kind == ProgramSymbol::Kind::Label) {
        return "**label** " + code(symbol.name) + ": address " +
               decimalAndHex(symbol.number.value_or(0));
    }
    // A definition: the names it goes through, then the number.
    std::string chain = code(symbol.name);
    const ProgramSymbol* step = &symbol;
    for (int hops = 0; step && step->aliasOf && hops < 64; ++hops) {
        chain += " → " + code(*step->aliasOf);
        step = document.names().symbol(*step->aliasOf);
    }
    std::string text = "**definition** " + chain;
    if (symbol.number) {
        text += " → " + decimalAndHex(*symbol.number, 8);
        if (*symbol.number > largestAddress) {
            text += "\n\nAbove 65535: as an address it becomes " +
                    decimalAndHex(*symbol.number & largestAddress) + ".";
        }
    } else if (!symbol.problem.empty()) {
        text += "\n\nDoes not resolve: " + symbol.problem + ".";
    }
    return text;
}

std::string instructionHover(const Document& document, std::int32_t line, Operation operation) {
    std::string text = "**" + std::string(nameOf(operation)) + "** " + operandForm(operation) +
                       ": " + std::string(operationEffect(operation));
    const CellRange cells = document.cellsOfLine(line);
    if (cells.count > 0 && document.names().cells[cells.first].isInstruction) {
        const Word word = document.names().cells[cells.first].word;
        std::ostringstream mnemonic;
        mnemonic << word;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", word.bits());
        text += "\n\n" + code(mnemonic.str()) + ": word " + hex + " (" +
                std::to_string(word.value()) + "), ";
        text += cells.count == 1 ? "address " + decimalAndHex(cells.first)
                                 : std::to_string(cells.count) + " cells at addresses " +
                                       std::to_string(cells.first) + " to " +
                                       std::to_string(cells.first + cells.count - 1);
    }
    return text;
}

}  // namespace

std::string decimalAndHex(std::int64_t value, int digits) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%0*llX", digits,
                  static_cast<unsigned long long>(value & 0xFFFFFFFF));
    return std::to_string(value) + " (" + hex + ")";
}

std::optional<Hover> hoverAt(const Document& document, std::int32_t line, std::int32_t column) {
    const auto name = nameAt(document, line, column);
    if (!name) {
        return std::nullopt;
    }
    Hover hover;
    hover.range = {line, name->token.column, name->token.length()};
    switch (name->kind) {
        case NameAt::Kind::Operation:
            hover.markdown = instructionHover(document, line, *findOperation(name->token.text));
            break;
        case NameAt::Kind::Register:
            hover.markdown = registerRole(*findRegister(name->token.text));
            break;
        case NameAt::Kind::Symbol:
            hover.markdown = symbolHover(document, *name->symbol);
            break;
        case NameAt::Kind::Unknown:
            hover.markdown = code(name->token.text) + ": no label or definition has this name";
            break;
    }
    return hover;
}

}  // namespace Vorn::Analysis
