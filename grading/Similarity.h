// Similarity across submissions: which sources are likely copies of each
// other. A signal for a person to read, never a verdict.
//
// Each source is normalised to undo what a copier changes: comments, blank
// lines and spacing go, label and definition names are renamed in the order
// they first appear, registers too (consistently), and each run of data
// words is sorted. The normalised lines are fingerprinted by winnowing their
// k-grams, and two sources are as similar as the share of fingerprints they
// have in common (the Jaccard index, 0 to 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace Vorn::Grading {

// A normalised statement: its text's hash and the source line it came from.
struct NormalisedLine {
    std::uint64_t hash = 0;
    std::int32_t line = 0;  // from 1
};

std::vector<NormalisedLine> normalise(std::string_view source);

// The fingerprints of one source: the selected k-gram hashes, each with the
// index of its first normalised line, in order.
struct Fingerprint {
    std::uint64_t hash = 0;
    std::uint32_t start = 0;
};

struct Fingerprinted {
    std::vector<NormalisedLine> lines;
    std::vector<Fingerprint> prints;
    std::vector<std::uint64_t> hashes;  // the prints' hashes, sorted and distinct
};

// k lines a k-gram, w k-grams a window.
constexpr std::size_t kgramLines = 3;
constexpr std::size_t winnowWindow = 4;

Fingerprinted fingerprint(std::string_view source);

// Lines of two sources that match, first to last, each pair of ranges from 1.
struct LineMatch {
    std::int32_t aFirst = 0;
    std::int32_t aLast = 0;
    std::int32_t bFirst = 0;
    std::int32_t bLast = 0;
};

struct SimilarPair {
    std::size_t a = 0;  // indexes in the sources given, a < b
    std::size_t b = 0;
    double similarity = 0;
    std::vector<LineMatch> matches;  // in a's order
};

double similarity(const Fingerprinted& a, const Fingerprinted& b);
std::vector<LineMatch> matches(const Fingerprinted& a, const Fingerprinted& b);

// Every pair at or above `threshold`, most similar first (then in the order given).
std::vector<SimilarPair> similarPairs(const std::vector<Fingerprinted>& sources, double threshold);

}  // namespace Vorn::Grading

namespace Vorn::Grading {

// The pairs found among the submissions `files` (their texts in `sources`,
// for the page that shows the matched lines).
struct SimilarityReport {
    const std::vector<std::string>& files;
    const std::vector<std::string>& sources;
    const std::vector<SimilarPair>& pairs;
    double threshold = 0;
};

// For people: a line per pair, "0.93  A  B", then its matched line ranges;
// then how many pairs of how many submissions.
void writeSimilarityText(std::ostream& out, const SimilarityReport& report);
// {"pairs": [{"a": PATH, "b": PATH, "similarity": S, "matches": [{"a_lines":
// [FIRST, LAST], "b_lines": [FIRST, LAST]}]}]}, one line.
void writeSimilarityJson(std::ostream& out, const SimilarityReport& report);
// A self-contained page: the pairs, and each match's lines side by side.
void writeSimilarityHtml(std::ostream& out, const SimilarityReport& report);

}  // namespace Vorn::Grading
