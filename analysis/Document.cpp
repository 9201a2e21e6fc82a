#include "analysis/Document.h"

#include <algorithm>

#include "analysis/Diagnostics.h"
#include "analysis/SourceTokens.h"
#include "text/Lines.h"

namespace Vorn::Analysis {

namespace {

// Cells lie in the order of their lines: they are filled as the lines are read.
struct ByLine {
    bool operator()(const Assembly::ProgramCell& cell, std::int32_t line) const {
        return cell.line < line;
    }
    bool operator()(std::int32_t line, const Assembly::ProgramCell& cell) const {
        return line < cell.line;
    }
};

}  // namespace

Document::Document(std::string text)
    : text_(std::move(text)), lineStarts_(Text::lineStarts(text_)) {
    program_ = Assembly::assembleProgram(text_);
    for (const Assembly::ProgramSymbol& symbol : program_.symbols) {
        if (symbol.kind != Assembly::ProgramSymbol::Kind::Definition || !symbol.aliasOf ||
            symbol.definition.line < 1) {
            continue;
        }
        // The value is the token after the name: "= name value".
        const auto tokens = tokenizeLine(line(symbol.definition.line), symbol.definition.line);
        for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
            if (tokens[i].column == symbol.definition.column &&
                tokens[i + 1].text == *symbol.aliasOf) {
                aliasUses_[*symbol.aliasOf].push_back(
                    {tokens[i + 1].line, tokens[i + 1].column, tokens[i + 1].length()});
                break;
            }
        }
    }
    diagnostics_ = diagnose(*this);
}

std::vector<Assembly::SourcePosition> Document::usesOf(
    const Assembly::ProgramSymbol& symbol) const {
    std::vector<Assembly::SourcePosition> uses = symbol.uses;
    const auto alias = aliasUses_.find(symbol.name);
    if (alias != aliasUses_.end()) {
        uses.insert(uses.end(), alias->second.begin(), alias->second.end());
        std::sort(uses.begin(), uses.end(), [](const auto& a, const auto& b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
    }
    return uses;
}

std::string_view Document::line(std::int32_t number) const {
    if (number < 1 || number > lineCount()) {
        return {};
    }
    const std::size_t start = lineStarts_[static_cast<std::size_t>(number - 1)];
    std::size_t end =
        number < lineCount() ? lineStarts_[static_cast<std::size_t>(number)] - 1 : text_.size();
    if (number < lineCount() && end > start && text_[end - 1] == '\r') {
        --end;  // a CR LF line end
    }
    return std::string_view(text_).substr(start, end - start);
}

CellRange Document::cellsOfLine(std::int32_t line) const {
    const auto& cells = program_.cells;
    const auto range = std::equal_range(cells.begin(), cells.end(), line, ByLine{});
    return {static_cast<std::uint32_t>(range.first - cells.begin()),
            static_cast<std::uint32_t>(range.second - range.first)};
}

}  // namespace Vorn::Analysis
