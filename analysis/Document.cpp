#include "analysis/Document.h"

#include <algorithm>

#include "analysis/Diagnostics.h"
#include "analysis/SourceTokens.h"
#include "assembly/ParseError.h"
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

// At most this many assemblies more for one text, and fewer for a long one
// (each assembles the whole text again): a text with many errors still gets
// its names back quickly, most of them if not all.
constexpr std::size_t readingRounds = 16;
constexpr std::size_t readingBytes = 4u << 20;

bool raisedWhileReading(const std::optional<Assembly::AssemblyError>& error) {
    return error && error->position.line > 0 &&
           Assembly::familyOf(error->kind) != Assembly::ParseErrorFamily::Name;
}

}  // namespace

std::optional<Assembly::Program> Document::readTolerantly() const {
    if (!raisedWhileReading(program_.error)) {
        return std::nullopt;
    }
    std::string text = text_;
    std::vector<std::size_t> starts = lineStarts_;
    Assembly::SourcePosition at = program_.error->position;
    std::int32_t cutLine = 0;
    std::optional<Assembly::Program> read;
    const std::size_t rounds = std::clamp<std::size_t>(
        readingBytes / std::max<std::size_t>(text_.size(), 1), 2, readingRounds);
    for (std::size_t round = 0; round < rounds; ++round) {
        // The first time on a line, from the token in error on; the second,
        // the whole line.
        const auto index = static_cast<std::size_t>(at.line - 1);
        const std::size_t start = starts[index];
        const std::size_t end = text.find('\n', start);
        const std::size_t lineEnd = end == std::string::npos ? text.size() : end;
        const std::size_t from =
            at.line == cutLine ? start
                               : std::min(lineEnd, start + static_cast<std::size_t>(at.column));
        text.erase(from, lineEnd - from);
        for (std::size_t later = index + 1; later < starts.size(); ++later) {
            starts[later] -= lineEnd - from;
        }
        cutLine = at.line;
        read = Assembly::assembleProgram(text);
        if (!raisedWhileReading(read->error) || read->error->position.line < cutLine ||
            (read->error->position.line == cutLine && from == start)) {
            break;
        }
        at = read->error->position;
    }
    return read;
}

Document::Document(std::string text)
    : text_(std::move(text)), lineStarts_(Text::lineStarts(text_)) {
    program_ = Assembly::assembleProgram(text_);
    tolerant_ = readTolerantly();
    for (const Assembly::ProgramSymbol& symbol : names().symbols) {
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
    const auto& cells = names().cells;
    const auto range = std::equal_range(cells.begin(), cells.end(), line, ByLine{});
    return {static_cast<std::uint32_t>(range.first - cells.begin()),
            static_cast<std::uint32_t>(range.second - range.first)};
}

}  // namespace Vorn::Analysis
