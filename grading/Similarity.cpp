#include "grading/Similarity.h"

#include <algorithm>
#include <map>
#include <string>

#include "analysis/SourceTokens.h"
#include "machine/InstructionSet.h"

namespace Vorn::Grading {

namespace {

using Assembly::TokenKind;

// FNV-1a, then a final mix: stable across runs and machines.
std::uint64_t hashOf(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash ^ (hash >> 29);
}

std::uint64_t combine(std::uint64_t seed, std::uint64_t value) {
    return (seed ^ value) * 0x9E3779B97F4A7C15ULL + (seed >> 7);
}

bool isOperation(std::string_view name) {
    return std::find(operationNames.begin(), operationNames.end(), name) != operationNames.end();
}

bool isRegister(std::string_view name) {
    return std::find(registerNames.begin(), registerNames.end(), name) != registerNames.end();
}

// Names in the order of their first appearance: "n0", "n1"... or "r0"...
class Renaming {
  public:
    explicit Renaming(char prefix) : prefix_(prefix) {}
    std::string operator()(std::string_view name) {
        const auto [place, added] = names_.try_emplace(std::string(name), names_.size());
        return prefix_ + std::to_string(place->second);
    }

  private:
    char prefix_;
    std::map<std::string, std::size_t, std::less<>> names_;
};

struct Statement {
    std::string text;
    std::int32_t line = 0;
    bool data = false;  // a data word, maybe labelled: its place among its neighbours is free
};

}  // namespace

std::vector<NormalisedLine> normalise(std::string_view source) {
    Renaming names('n');
    Renaming registers('r');
    std::vector<Statement> statements;
    Statement current;
    std::size_t words = 0;    // tokens in the statement, its label left out
    std::size_t numbers = 0;  // of which numbers
    bool labelNext = false;
    const auto end = [&] {
        if (!current.text.empty()) {
            current.data = words == 1 && numbers == 1;
            statements.push_back(std::move(current));
        }
        current = Statement();
        words = numbers = 0;
        labelNext = false;
    };
    for (const Analysis::SourceToken& token : Analysis::tokenize(source)) {
        std::string piece;
        switch (token.kind) {
            case TokenKind::EndOfLine:
            case TokenKind::EndOfFile:
                end();
                continue;
            case TokenKind::Comment:
            case TokenKind::None:
                continue;
            case TokenKind::Label:
                labelNext = true;
                piece = ":";
                break;
            case TokenKind::Definition:
                piece = "=";
                ++words;
                break;
            case TokenKind::Repetition:
                piece = "*";
                ++words;
                break;
            case TokenKind::Number:
                piece = std::string(token.text);
                ++words;
                ++numbers;
                break;
            case TokenKind::Identifier:
                if (labelNext) {
                    piece = names(token.text);
                    labelNext = false;
                } else {
                    piece = isOperation(token.text)  ? std::string(token.text)
                            : isRegister(token.text) ? registers(token.text)
                                                     : names(token.text);
                    ++words;
                }
                break;
        }
        if (current.text.empty()) {
            current.line = token.line;
        }
        current.text += piece + " ";
    }
    end();
    // A run of data words may be in any order: sorted, it reads the same.
    for (auto first = statements.begin(); first != statements.end();) {
        auto last =
            std::find_if(first, statements.end(), [](const Statement& s) { return !s.data; });
        std::stable_sort(first, last,
                         [](const Statement& x, const Statement& y) { return x.text < y.text; });
        first = last == statements.end() ? last
                                         : std::find_if(last, statements.end(),
                                                        [](const Statement& s) { return s.data; });
    }
    std::vector<NormalisedLine> lines;
    lines.reserve(statements.size());
    for (const Statement& statement : statements) {
        lines.push_back({hashOf(statement.text), statement.line});
    }
    return lines;
}

Fingerprinted fingerprint(std::string_view source) {
    Fingerprinted result;
    result.lines = normalise(source);
    const std::size_t count = result.lines.size();
    if (count == 0) {
        return result;
    }
    // The k-grams; a source shorter than k lines is one.
    const std::size_t k = std::min(kgramLines, count);
    std::vector<std::uint64_t> grams;
    for (std::size_t i = 0; i + k <= count; ++i) {
        std::uint64_t hash = 0;
        for (std::size_t j = i; j < i + k; ++j) {
            hash = combine(hash, result.lines[j].hash);
        }
        grams.push_back(hash);
    }
    // Winnowing: the smallest hash of each window (the rightmost when tied),
    // each selected position once.
    const std::size_t window = std::min(winnowWindow, grams.size());
    std::size_t selected = grams.size();
    for (std::size_t start = 0; start + window <= grams.size(); ++start) {
        std::size_t smallest = start;
        for (std::size_t i = start; i < start + window; ++i) {
            if (grams[i] <= grams[smallest]) {
                smallest = i;
            }
        }
        if (smallest != selected) {
            selected = smallest;
            result.prints.push_back({grams[smallest], static_cast<std::uint32_t>(smallest)});
        }
    }
    for (const Fingerprint& print : result.prints) {
        result.hashes.push_back(print.hash);
    }
    std::sort(result.hashes.begin(), result.hashes.end());
    result.hashes.erase(std::unique(result.hashes.begin(), result.hashes.end()),
                        result.hashes.end());
    return result;
}

double similarity(const Fingerprinted& a, const Fingerprinted& b) {
    if (a.hashes.empty() || b.hashes.empty()) {
        return 0;
    }
    std::size_t shared = 0;
    for (auto x = a.hashes.begin(), y = b.hashes.begin();
         x != a.hashes.end() && y != b.hashes.end();) {
        if (*x == *y) {
            ++shared;
            ++x;
            ++y;
        } else if (*x < *y) {
            ++x;
        } else {
            ++y;
        }
    }
    return static_cast<double>(shared) /
           static_cast<double>(a.hashes.size() + b.hashes.size() - shared);
}

std::vector<LineMatch> matches(const Fingerprinted& a, const Fingerprinted& b) {
    // Each shared fingerprint: its k-gram in a and its first in b, grown
    // while the normalised lines agree, merged where they overlap in a.
    std::map<std::uint64_t, std::uint32_t> inB;
    for (const Fingerprint& print : b.prints) {
        inB.try_emplace(print.hash, print.start);
    }
    const std::size_t k = std::min(kgramLines, a.lines.size());
    struct Span {
        std::size_t aFirst, aLast, bFirst, bLast;
    };
    std::vector<Span> spans;
    for (const Fingerprint& print : a.prints) {
        const auto found = inB.find(print.hash);
        if (found == inB.end() || (!spans.empty() && print.start <= spans.back().aLast)) {
            continue;
        }
        // From the shared k-gram, as far both ways as the lines agree.
        Span next{print.start, print.start + k - 1, found->second, found->second + k - 1};
        while (next.aFirst > 0 && next.bFirst > 0 &&
               a.lines[next.aFirst - 1].hash == b.lines[next.bFirst - 1].hash) {
            --next.aFirst;
            --next.bFirst;
        }
        while (next.aLast + 1 < a.lines.size() && next.bLast + 1 < b.lines.size() &&
               a.lines[next.aLast + 1].hash == b.lines[next.bLast + 1].hash) {
            ++next.aLast;
            ++next.bLast;
        }
        if (!spans.empty() && next.aFirst <= spans.back().aLast) {
            spans.back().aLast = std::max(spans.back().aLast, next.aLast);
            spans.back().bLast = std::max(spans.back().bLast, next.bLast);
        } else {
            spans.push_back(next);
        }
    }
    // Source lines: the first and last of each span (sorted data words may
    // come from lines in another order).
    const auto lines = [](const std::vector<NormalisedLine>& all, std::size_t first,
                          std::size_t last) {
        const auto [low, high] = std::minmax_element(
            all.begin() + static_cast<std::ptrdiff_t>(first),
            all.begin() + static_cast<std::ptrdiff_t>(std::min(last, all.size() - 1)) + 1,
            [](const NormalisedLine& x, const NormalisedLine& y) { return x.line < y.line; });
        return std::pair{low->line, high->line};
    };
    std::vector<LineMatch> result;
    for (const Span& span : spans) {
        const auto [aFirst, aLast] = lines(a.lines, span.aFirst, span.aLast);
        const auto [bFirst, bLast] = lines(b.lines, span.bFirst, span.bLast);
        result.push_back({aFirst, aLast, bFirst, bLast});
    }
    return result;
}

std::vector<SimilarPair> similarPairs(const std::vector<Fingerprinted>& sources, double threshold) {
    std::vector<SimilarPair> pairs;
    for (std::size_t a = 0; a < sources.size(); ++a) {
        for (std::size_t b = a + 1; b < sources.size(); ++b) {
            const double value = similarity(sources[a], sources[b]);
            if (value >= threshold && value > 0) {
                pairs.push_back({a, b, value, matches(sources[a], sources[b])});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const SimilarPair& x, const SimilarPair& y) {
        return x.similarity > y.similarity;
    });
    return pairs;
}

}  // namespace Vorn::Grading
