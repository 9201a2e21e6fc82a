#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "grading/Report.h"
#include "grading/Similarity.h"
#include "machine/Printable.h"

namespace Vorn::Grading {

namespace {

std::string percent(double similarity) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", similarity);
    return text;
}

std::string range(std::int32_t first, std::int32_t last) {
    return first == last ? "line " + std::to_string(first)
                         : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

std::string html(std::string_view raw) {
    std::string result;
    for (const char c : validUtf8(raw)) {
        switch (c) {
            case '&':
                result += "&amp;";
                break;
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            case '"':
                result += "&quot;";
                break;
            case '\'':
                result += "&#39;";
                break;
            default:
                result += c;
        }
    }
    return result;
}

// Lines `first` to `last` of `source` (from 1), each with its number.
std::string excerpt(std::string_view source, std::int32_t first, std::int32_t last) {
    std::string text;
    std::int32_t line = 1;
    std::size_t start = 0;
    while (start <= source.size() && line <= last) {
        const std::size_t end = std::min(source.find('\n', start), source.size());
        if (line >= first) {
            char number[16];
            std::snprintf(number, sizeof number, "%5d  ", line);
            text += number + html(source.substr(start, end - start)) + "\n";
        }
        start = end + 1;
        ++line;
    }
    return text;
}

}  // namespace

void writeSimilarityText(std::ostream& out, const SimilarityReport& report) {
    for (const SimilarPair& pair : report.pairs) {
        out << percent(pair.similarity) << "  " << printable(report.files[pair.a]) << "  "
            << printable(report.files[pair.b]) << '\n';
        for (const LineMatch& match : pair.matches) {
            out << "      " << range(match.aFirst, match.aLast) << " ~ "
                << range(match.bFirst, match.bLast) << '\n';
        }
    }
    const std::size_t count = report.files.size();
    out << report.pairs.size() << (report.pairs.size() == 1 ? " pair" : " pairs") << " of " << count
        << (count == 1 ? " submission" : " submissions") << " at or above "
        << percent(report.threshold)
        << " similarity (a signal for a person to read, not a verdict)\n";
}

void writeSimilarityJson(std::ostream& out, const SimilarityReport& report) {
    using Json = nlohmann::ordered_json;
    Json pairs = Json::array();
    for (const SimilarPair& pair : report.pairs) {
        Json matched = Json::array();
        for (const LineMatch& match : pair.matches) {
            matched.push_back({{"a_lines", {match.aFirst, match.aLast}},
                               {"b_lines", {match.bFirst, match.bLast}}});
        }
        pairs.push_back({{"a", validUtf8(report.files[pair.a])},
                         {"b", validUtf8(report.files[pair.b])},
                         {"similarity", pair.similarity},
                         {"matches", std::move(matched)}});
    }
    out << Json{{"pairs", std::move(pairs)}}.dump() << '\n';
}

void writeSimilarityHtml(std::ostream& out, const SimilarityReport& report) {
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>Similar submissions</title>\n<style>\n"
           "body { font-family: sans-serif; margin: 2em; }\n"
           "table.match { border-collapse: collapse; width: 100%; margin-bottom: 1em; }\n"
           "table.match td { vertical-align: top; width: 50%; border: 1px solid #ccc; }\n"
           "pre { margin: 0; padding: 0.5em; background: #f6f6f6; }\n"
           "</style>\n</head>\n<body>\n<h1>Similar submissions</h1>\n"
           "<p>Pairs at or above "
        << percent(report.threshold) << " similarity among " << report.files.size()
        << " submissions, most similar first. A signal for a person to read, not a "
           "verdict: solutions of one exercise share much.</p>\n";
    for (const SimilarPair& pair : report.pairs) {
        out << "<h2>" << percent(pair.similarity) << ": " << html(report.files[pair.a]) << " and "
            << html(report.files[pair.b]) << "</h2>\n";
        for (const LineMatch& match : pair.matches) {
            out << "<table class=\"match\"><tr><td><pre>"
                << excerpt(report.sources[pair.a], match.aFirst, match.aLast)
                << "</pre></td><td><pre>"
                << excerpt(report.sources[pair.b], match.bFirst, match.bLast)
                << "</pre></td></tr></table>\n";
        }
    }
    out << "</body>\n</html>\n";
}

}  // namespace Vorn::Grading
