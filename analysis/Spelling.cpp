#include "analysis/Spelling.h"

#include <algorithm>
#include <cctype>

namespace Vorn::Analysis {

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

namespace {

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

}  // namespace

std::optional<std::string> nearestName(std::string_view word,
                                       const std::vector<std::string_view>& candidates,
                                       bool ignoreCase) {
    const std::string key = ignoreCase ? lowered(word) : std::string(word);
    const std::size_t limit = word.size() <= 3 ? 1 : 2;
    std::optional<std::string> best;
    std::size_t bestDistance = 0;
    for (const std::string_view candidate : candidates) {
        const std::size_t distance =
            editDistance(key, ignoreCase ? lowered(candidate) : std::string(candidate));
        if (distance <= limit && distance < word.size() && (!best || distance < bestDistance)) {
            best = std::string(candidate);
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace Vorn::Analysis
