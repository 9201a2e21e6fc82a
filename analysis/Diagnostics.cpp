#include "analysis/Diagnostics.h"

#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#include "analysis/ControlFlow.h"
#include "analysis/Hints.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"
#include "text/Identifier.h"

namespace Vorn::Analysis {

namespace {

using Assembly::ProgramSymbol;
using Assembly::SourcePosition;

constexpr std::int64_t largestAddress = 0xFFFF;

// The place of a whole line's text, blanks at either end left out: where a
// diagnostic goes when the assembler names only the line.
SourcePosition wholeLine(const Document& document, std::int32_t line) {
    const std::string_view text = document.line(line);
    const std::size_t first = text.find_first_not_of(" \t\v\r");
    if (first == std::string_view::npos) {
        return {line, 0, 0};
    }
    const std::size_t last = text.find_last_not_of(" \t\v\r");
    return {line, static_cast<std::int32_t>(first), static_cast<std::int32_t>(last + 1 - first)};
}

SourcePosition placed(const Document& document, SourcePosition position) {
    if (position.line < 1) {
        return {1, 0, 0};
    }
    return position.length > 0 ? position : wholeLine(document, position.line);
}

bool raisedWhileResolving(const Assembly::AssemblyError& error) {
    return Assembly::familyOf(error.kind) == Assembly::ParseErrorFamily::Name;
}

Diagnostic warning(std::string_view code, std::string message, SourcePosition position) {
    return {Diagnostic::Severity::Warning, code, std::move(message), {}, position};
}

void unusedNames(const Document& document, std::vector<Diagnostic>& out) {
    for (const ProgramSymbol& symbol : document.program().symbols) {
        if (symbol.kind == ProgramSymbol::Kind::Predefined || symbol.definition.line < 1 ||
            !symbol.uses.empty() || !document.usesOf(symbol).empty()) {
            continue;
        }
        const bool label = symbol.kind == ProgramSymbol::Kind::Label;
        out.push_back(warning(
            label ? Codes::unusedLabel : Codes::unusedDefinition,
            std::string(label ? "label '" : "definition '") + symbol.name + "' is never used",
            placed(document, symbol.definition)));
    }
}

// The operation name of the instruction on a line: its first occurrence as a
// whole word. Only labels stand before it, and no label can take an operation
// name, so the search needs no tokens (a warning may be given for most of a
// large source's lines, and searching is far cheaper than reading them).
SourcePosition operationOf(const Document& document, std::int32_t line, Operation operation) {
    const std::string_view text = document.line(line);
    const std::string_view name = nameOf(operation);
    for (std::size_t at = text.find(name); at != std::string_view::npos;
         at = text.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        if ((at == 0 || !Text::isIdentifierPart(text[at - 1])) &&
            (end == text.size() || !Text::isIdentifierPart(text[end]))) {
            return {line, static_cast<std::int32_t>(at), static_cast<std::int32_t>(name.size())};
        }
    }
    return wholeLine(document, line);
}

std::string lineOfCell(const Document& document, std::uint32_t address) {
    return "line " + std::to_string(document.program().cells[address].line);
}

// "line 1 → line 4 → line 9": the lines of a path's cells, a line repeated
// in a row (a repetition's cells) said once.
std::string pathText(const Document& document, const std::vector<std::uint32_t>& path) {
    std::string text;
    std::int32_t previous = 0;
    for (const std::uint32_t address : path) {
        const std::int32_t line = document.program().cells[address].line;
        if (line != previous) {
            text += (text.empty() ? "" : " → ") + lineOfCell(document, address);
            previous = line;
        }
    }
    return text;
}

// What execution enters: "the data word at address 8 (line 11)", or an
// address that no statement filled.
std::string enteredCell(const Document& document, std::uint32_t address) {
    if (address < document.program().cells.size()) {
        return "the data word at address " + std::to_string(address) + " (" +
               lineOfCell(document, address) + ")";
    }
    return "address " + std::to_string(address) + ", which no statement filled";
}

SourcePosition operationAt(const Document& document, std::uint32_t address) {
    const Assembly::ProgramCell& cell = document.program().cells[address];
    return operationOf(document, cell.line, cell.word.opcode());
}

Diagnostic note(std::string_view code, Diagnostic::Severity severity, std::string message,
                SourcePosition position) {
    Diagnostic diagnostic = warning(code, std::move(message), position);
    diagnostic.severity = severity;
    return diagnostic;
}

void controlFlow(const Document& document, std::vector<Diagnostic>& out) {
    const ControlFlow flow = analyzeControlFlow(document.program().cells);
    for (const EnteredData& entry : flow.entersData) {
        const std::string path = "; path: " + pathText(document, entry.path);
        out.push_back(
            entry.jumped
                ? warning(Codes::jumpsIntoData,
                          "execution jumps from this instruction to " +
                              enteredCell(document, entry.into) + path,
                          operationAt(document, entry.from))
                : warning(Codes::fallsIntoData,
                          "execution runs on from this instruction into " +
                              enteredCell(document, entry.into) + ": no 'jump' before " +
                              (entry.into < document.program().cells.size() ? "the data" : "it") +
                              path,
                          operationAt(document, entry.from)));
    }
    for (const Modification& modification : flow.modifications) {
        out.push_back(note(
            Codes::selfModifying, Diagnostic::Severity::Information,
            modification.target
                ? "self-modifying code: this 'store' overwrites the instruction at address " +
                      std::to_string(*modification.target) + " (" +
                      lineOfCell(document, *modification.target) +
                      "), so the flow from there on is uncertain"
                : std::string("the cell this 'storei' writes is not known here: any cell may be "
                              "modified, and the flow shown assumes that no instruction is"),
            operationAt(document, modification.store)));
    }
    if (flow.selfModifying()) {
        return;  // what is unreachable or endless depends on what the stores write
    }
    for (const std::uint32_t address : flow.endlessLoops) {
        out.push_back(warning(Codes::endlessLoop,
                              "no path from this instruction reaches a halt: once execution "
                              "gets here, the program never ends",
                              operationAt(document, address)));
    }
    for (const CellRun& run : flow.unreachable) {
        const std::int32_t first = document.program().cells[run.first].line;
        const std::int32_t last = document.program().cells[run.last].line;
        out.push_back(
            note(Codes::unreachable, Diagnostic::Severity::Hint,
                 "never executed: no path from address 0 reaches " +
                     (first == last ? std::string("this instruction")
                                    : "the instructions of lines " + std::to_string(first) +
                                          " to " + std::to_string(last)),
                 wholeLine(document, first)));
    }
}

bool isInstructionLine(const Document& document, std::int32_t line) {
    const CellRange range = document.cellsOfLine(line);
    return range.count > 0 && document.program().cells[range.first].isInstruction;
}

void truncatedAddresses(const Document& document, std::vector<Diagnostic>& out) {
    for (const ProgramSymbol& symbol : document.program().symbols) {
        if (!symbol.number || *symbol.number <= largestAddress) {
            continue;
        }
        const std::int32_t value = *symbol.number;
        for (const SourcePosition& use : symbol.uses) {
            if (!isInstructionLine(document, use.line)) {
                continue;  // a data word keeps all 32 bits
            }
            out.push_back(warning(Codes::addressTruncated,
                                  "'" + symbol.name + "' is " + std::to_string(value) +
                                      ", above 65535: as an address it becomes " +
                                      std::to_string(value & largestAddress) + " (its low 16 bits)",
                                  placed(document, use)));
        }
    }
}

}  // namespace

std::string_view severityName(Diagnostic::Severity severity) {
    constexpr std::array<std::string_view, 4> names{"error", "warning", "information", "hint"};
    return names[static_cast<std::size_t>(severity)];
}

std::vector<Diagnostic> diagnose(const Document& document) {
    std::vector<Diagnostic> diagnostics;
    const auto& error = document.program().error;
    if (error) {
        diagnostics.push_back({Diagnostic::Severity::Error, Codes::assemblyError, error->message,
                               hintFor(*error, document.text()),
                               placed(document, error->position)});
        if (!raisedWhileResolving(*error)) {
            return diagnostics;
        }
    }
    std::vector<Diagnostic> warnings;
    unusedNames(document, warnings);
    if (!error) {
        controlFlow(document, warnings);
    }
    truncatedAddresses(document, warnings);
    const auto inSourceOrder = [](const Diagnostic& a, const Diagnostic& b) {
        return std::tie(a.position.line, a.position.column) <
               std::tie(b.position.line, b.position.column);
    };
    if (!std::is_sorted(warnings.begin(), warnings.end(), inSourceOrder)) {
        std::stable_sort(warnings.begin(), warnings.end(), inSourceOrder);
    }
    diagnostics.insert(diagnostics.end(), warnings.begin(), warnings.end());
    return diagnostics;
}

}  // namespace Vorn::Analysis
