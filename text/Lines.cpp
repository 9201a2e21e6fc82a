#include "text/Lines.h"

#include <algorithm>

namespace Vorn::Text {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::size_t> lineStarts(std::string_view text) {
    std::vector<std::size_t> starts{0};
    for (std::size_t at = text.find('\n'); at != std::string_view::npos;
         at = text.find('\n', at + 1)) {
        starts.push_back(at + 1);
    }
    return starts;
}

std::optional<TextLine> lineAt(std::string_view text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) {
            return std::nullopt;
        }
        start = feed + 1;
    }
    const std::size_t end = std::min(text.find('\n', start), text.size());
    return TextLine{start, text.substr(start, end - start)};
}

std::string visible(std::string_view text) {
    constexpr std::string_view hexDigits = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else if (c == '\r') {
            result += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            result += {'\\', 'x', hexDigits[byte >> 4], hexDigits[byte & 0xF]};
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace Vorn::Text
