#include "analysis/Formatting.h"

#include <algorithm>
#include <optional>

#include "analysis/SourceTokens.h"

namespace Vorn::Analysis {

namespace {

using Assembly::TokenKind;

constexpr std::size_t minimumLabelWidth = 8;
constexpr std::size_t minimumOperationWidth = 7;
// Longer statements do not push every comment of the file to the right.
constexpr std::size_t longestAlignedStatement = 40;

// A line cut into its columns.
struct Layout {
    std::string labels;     // ":a :b"
    std::string operation;  // the statement's first token: an operation, a data word, '=' or '*'
    std::string operands;   // the rest of the statement, one blank apart
    std::string comment;
    bool commentOnly() const { return labels.empty() && operation.empty() && !comment.empty(); }
};

std::string joined(const std::vector<SourceToken>& tokens, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (!text.empty()) {
            text += ' ';
        }
        text += tokens[i].text;
    }
    return text;
}

// Nothing for a line that is not labels, then a statement, then a comment.
std::optional<Layout> layoutOf(const std::vector<SourceToken>& tokens) {
    Layout layout;
    std::size_t at = 0;
    while (at < tokens.size() && tokens[at].kind == TokenKind::Label) {
        if (at + 1 >= tokens.size() || tokens[at + 1].kind != TokenKind::Identifier) {
            return std::nullopt;
        }
        layout.labels += layout.labels.empty() ? ":" : " :";
        layout.labels += tokens[at + 1].text;
        at += 2;
    }
    std::size_t end = at;
    while (end < tokens.size() && tokens[end].kind != TokenKind::Comment) {
        if (tokens[end].kind == TokenKind::None || tokens[end].kind == TokenKind::Label) {
            return std::nullopt;
        }
        ++end;
    }
    if (end > at) {
        const bool repetition = tokens[at].kind == TokenKind::Repetition;
        const bool definition = tokens[at].kind == TokenKind::Definition;
        if (repetition || definition) {
            layout.operation = joined(tokens, at, end);  // kept together: "* 3 incr A", "= x 5"
        } else {
            layout.operation = std::string(tokens[at].text);
            layout.operands = joined(tokens, at + 1, end);
        }
    }
    if (end < tokens.size()) {
        layout.comment = std::string(tokens[end].text);
        while (!layout.comment.empty() &&
               (layout.comment.back() == ' ' || layout.comment.back() == '\t' ||
                layout.comment.back() == '\v')) {
            layout.comment.pop_back();
        }
    }
    return layout;
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

std::vector<LineEdit> formatDocument(const Document& document) {
    std::vector<std::optional<Layout>> layouts(static_cast<std::size_t>(document.lineCount()));
    std::vector<std::vector<SourceToken>> lines(layouts.size());
    for (const SourceToken& token : tokenize(document.text())) {
        if (token.kind != TokenKind::EndOfLine) {
            lines[static_cast<std::size_t>(token.line - 1)].push_back(token);
        }
    }
    std::size_t labelWidth = minimumLabelWidth;
    std::size_t operationWidth = minimumOperationWidth;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        layouts[i] = layoutOf(lines[i]);
        if (layouts[i] && !layouts[i]->operation.empty()) {
            labelWidth = std::max(labelWidth, layouts[i]->labels.size() + 1);
            if (!layouts[i]->operands.empty()) {
                operationWidth = std::max(operationWidth, layouts[i]->operation.size() + 1);
            }
        }
    }
    std::size_t statementWidth = 0;
    std::vector<std::string> statements(layouts.size());
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        if (!layouts[i] || layouts[i]->operation.empty()) {
            continue;
        }
        const Layout& layout = *layouts[i];
        statements[i] =
            padded(layout.labels, labelWidth) +
            (layout.operands.empty() ? layout.operation
                                     : padded(layout.operation, operationWidth) + layout.operands);
        if (statements[i].size() <= labelWidth + longestAlignedStatement) {
            statementWidth = std::max(statementWidth, statements[i].size());
        }
    }
    std::vector<LineEdit> edits;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const auto number = static_cast<std::int32_t>(i + 1);
        const std::string_view old = document.line(number);
        if (!layouts[i]) {
            continue;
        }
        const Layout& layout = *layouts[i];
        std::string text;
        if (layout.commentOnly()) {
            // A comment alone keeps its place: at the start, or in the comment column.
            const bool atStart = !lines[i].empty() && lines[i][0].column == 0;
            text = atStart ? layout.comment : padded("", labelWidth) + layout.comment;
        } else if (layout.operation.empty()) {
            text = layout.labels;
            if (!layout.comment.empty()) {
                text = padded(text, labelWidth) + layout.comment;
            }
        } else {
            text = statements[i];
            if (!layout.comment.empty()) {
                text = padded(text, statementWidth) + " " + layout.comment;
            }
        }
        if (text != old) {
            edits.push_back({number, std::move(text)});
        }
    }
    return edits;
}

}  // namespace Vorn::Analysis
