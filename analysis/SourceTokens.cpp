#include "analysis/SourceTokens.h"

#include <istream>

#include "assembly/Lexer.h"
#include "assembly/SourceBuffer.h"

namespace Vorn::Analysis {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

}  // namespace

std::vector<SourceToken> tokenizeLine(std::string_view lineText, std::int32_t line) {
    std::vector<SourceToken> tokens = tokenize(lineText);
    for (SourceToken& token : tokens) {
        token.line = line;
    }
    return tokens;
}

std::vector<SourceToken> tokenize(std::string_view text) {
    std::vector<SourceToken> tokens;
    Assembly::SourceBuffer buffer(text);
    std::istream in(&buffer);
    const auto offset = [&] { return text.size() - buffer.unread().size(); };
    std::int32_t line = 1;
    std::size_t lineStart = 0;
    Assembly::Token token;
    for (;;) {
        std::size_t start = offset();
        in >> token;
        if (token.getKind() == Assembly::TokenKind::EndOfFile) {
            break;
        }
        while (start < text.size() && isBlank(text[start])) {
            ++start;
        }
        std::size_t end = offset();
        if (token.getKind() == Assembly::TokenKind::Number) {
            // Too many digits fail the stream after the whole run; the
            // reading goes on after it.
            in.clear();
        }
        if (token.getKind() == Assembly::TokenKind::Comment && end > start &&
            text[end - 1] == '\r' && end < text.size() && text[end] == '\n') {
            --end;  // the carriage return of a CR LF line end is no part of the comment
        }
        tokens.push_back({token.getKind(), line, static_cast<std::int32_t>(start - lineStart),
                          text.substr(start, end - start)});
        if (token.getKind() == Assembly::TokenKind::EndOfLine) {
            ++line;
            lineStart = end;
        }
    }
    return tokens;
}

}  // namespace Vorn::Analysis
