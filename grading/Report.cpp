#include "grading/Report.h"
#include "text/Lines.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

namespace Vorn::Grading {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::string points(std::int64_t earned, std::int64_t of) {
    return std::to_string(earned) + "/" + std::to_string(of);
}

class Colours {
  public:
    explicit Colours(bool on) : on_(on) {}
    std::string paint(std::string_view code, const std::string& text) const {
        return on_ ? "\x1b[" + std::string(code) + "m" + text + "\x1b[0m" : text;
    }

  private:
    bool on_;
};

enum class XmlPlace : std::uint8_t { Attribute, Text };

// XML 1.0 text or attribute value: markup characters as entities; in an
// attribute, line ends and tabs as character references (so that a reader
// keeps them), a carriage return everywhere; what XML cannot hold at all
// (other control bytes, U+FFFE, U+FFFF) as U+FFFD.
std::string xml(std::string_view raw, XmlPlace place = XmlPlace::Attribute) {
    const std::string text = validUtf8(raw);
    const bool attribute = place == XmlPlace::Attribute;
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                result += "&amp;";
                continue;
            case '<':
                result += "&lt;";
                continue;
            case '>':
                result += "&gt;";
                continue;
            case '"':
                result += attribute ? "&quot;" : "\"";
                continue;
            case '\t':
                result += attribute ? "&#9;" : "\t";
                continue;
            case '\n':
                result += attribute ? "&#10;" : "\n";
                continue;
            case '\r':
                result += "&#13;";
                continue;
            default:
                break;
        }
        if (byte < 0x20) {
            result += replacement;
        } else if (byte == 0xEF && text.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 2]) >= 0xBE) {
            result += replacement;
            i += 2;
        } else {
            result += c;
        }
    }
    return result;
}

std::string csv(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos &&
        !(text.starts_with(' ') || text.ends_with(' '))) {
        return std::string(text);
    }
    std::string result = "\"";
    for (const char c : text) {
        result += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return result + "\"";
}

std::string lineList(const std::vector<std::int32_t>& lines, const std::string& many,
                     const std::string& one, const std::string& none);

std::string firstLine(const std::string& message) {
    return message.substr(0, message.find('\n'));
}

}  // namespace

std::string lineRanges(const std::vector<std::int32_t>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) {
            ++j;
        }
        text += (text.empty() ? "" : ", ") + std::to_string(lines[i]) +
                (j > i ? "-" + std::to_string(lines[j]) : "");
        i = j + 1;
    }
    return text;
}

std::string uncoveredSentence(const ProgramResult& program) {
    return lineList(program.uncoveredLines, "no case ran lines ", "no case ran line ",
                    "every instruction ran in some case");
}

std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            result += replacement;
            text.remove_prefix(1);
        } else {
            result += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return result;
}

bool showsDetails(const Report& report, const Case& test) {
    return report.teacher || test.visibility == Visibility::Visible;
}

std::string_view problemOf(const CaseResult& result) {
    const std::string_view message = result.message;
    const std::size_t commands = message.find("\nreplay: ");
    return commands == std::string_view::npos ? message : message.substr(0, commands);
}

std::string_view commandsOf(const CaseResult& result) {
    const std::string_view message = result.message;
    const std::size_t commands = message.find("\nreplay: ");
    return commands == std::string_view::npos ? std::string_view() : message.substr(commands + 1);
}

char verdictLetter(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return '.';
        case Verdict::WrongOutput:
            return 'O';
        case Verdict::WrongState:
            return 'S';
        case Verdict::StepLimit:
            return 'L';
        case Verdict::Fault:
            return 'F';
        case Verdict::TooMuchOutput:
            return 'W';
        case Verdict::AssemblyError:
            return 'A';
    }
    return '?';
}

namespace {

// A message's lines, indented under the line they explain.
void writeIndented(std::ostream& out, std::string_view message) {
    std::size_t start = 0;
    while (start < message.size()) {
        const std::size_t end = std::min(message.find('\n', start), message.size());
        out << "      " << Text::visible(message.substr(start, end - start)) << '\n';
        start = end + 1;
    }
}

// "lines 3, 7-9" from sorted numbers, or `none`.
std::string lineList(const std::vector<std::int32_t>& lines, const std::string& many,
                     const std::string& one, const std::string& none) {
    if (lines.empty()) {
        return none;
    }
    return (lines.size() == 1 ? one : many) + lineRanges(lines);
}

void writeClosingCount(std::ostream& out, const Report& report) {
    const auto passed =
        std::count_if(report.programs.begin(), report.programs.end(),
                      [](const ProgramResult& program) { return program.passed(); });
    out << Text::visible(report.suite.name) << ": " << passed << " of " << report.programs.size()
        << (report.programs.size() == 1 ? " program" : " programs") << " passed every case\n";
}

}  // namespace

void writeText(std::ostream& out, const Report& report, bool colour) {
    const Colours colours(colour);
    const auto verdictColumn = [&](Verdict verdict) {
        std::string name(nameOf(verdict));
        name.resize(std::max<std::size_t>(name.size(), 16), ' ');
        return "  " + colours.paint(verdict == Verdict::Pass ? "32" : "31", name);
    };
    for (const ProgramResult& program : report.programs) {
        out << colours.paint("1", Text::visible(program.file) + ": " +
                                      points(program.score, program.maxScore))
            << '\n';
        if (const std::string* error = program.error()) {
            // Every case ends the same way: said once.
            out << verdictColumn(Verdict::AssemblyError) << "every case ("
                << points(0, program.maxScore) << ")\n";
            writeIndented(out, *error);
            continue;
        }
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            const Case& test = report.suite.cases[i];
            out << verdictColumn(result.verdict) << Text::visible(test.name) << " ("
                << points(result.points, test.points) << ")\n";
            if (showsDetails(report, test)) {
                writeIndented(out, result.message);
            }
        }
        if (report.coverage && !program.lineRuns.empty()) {
            out << "  " << uncoveredSentence(program) << '\n';
        }
    }
    writeClosingCount(out, report);
}

void writeSummary(std::ostream& out, const Report& report) {
    for (const ProgramResult& program : report.programs) {
        std::string row;
        for (const CaseResult& result : program.cases) {
            row += verdictLetter(result.verdict);
        }
        out << Text::visible(program.file) << ": " << points(program.score, program.maxScore) << ' '
            << row;
        if (const std::string* error = program.error()) {
            out << ' ' << Text::visible(*error);
        }
        out << '\n';
    }
    writeClosingCount(out, report);
}

void writeCoverageListing(std::ostream& out, const ProgramResult& program,
                          const SourceLines& lines) {
    const std::vector<std::int32_t>& uncovered = program.uncoveredLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = static_cast<std::int32_t>(i + 1);
        std::string runs = "-";
        if (std::binary_search(uncovered.begin(), uncovered.end(), line)) {
            runs = "#####";  // an instruction no case ran
        } else if (i < program.lineRuns.size() && program.lineRuns[i] != 0) {
            runs = std::to_string(program.lineRuns[i]);
        }
        runs.insert(0, runs.size() < 9 ? 9 - runs.size() : 0, ' ');
        std::string number = std::to_string(line);
        number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
        out << runs << ':' << number << ": " << Text::visible(lines.text(line)) << '\n';
    }
}

void writeJson(std::ostream& out, const Report& report) {
    using Json = nlohmann::ordered_json;
    Json programs = Json::array();
    for (const ProgramResult& program : report.programs) {
        const std::string* error = program.error();
        Json cases = Json::array();
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            const Case& test = report.suite.cases[i];
            Json each = {{"name", validUtf8(test.name)},
                         {"verdict", nameOf(result.verdict)},
                         {"points", result.points},
                         {"visibility", nameOf(test.visibility)}};
            if (showsDetails(report, test)) {
                each["steps"] = result.steps;
                each["expected"] = test.output;
                each["output"] = result.output;
                each["output_lines"] = result.outputLines;
                each["message"] = error != nullptr ? "" : validUtf8(result.message);
                if (report.coverage) {
                    each["lines"] = result.lines;
                }
            }
            cases.push_back(std::move(each));
        }
        Json entry = {{"file", validUtf8(program.file)},
                      {"score", program.score},
                      {"max_score", program.maxScore},
                      {"error", error != nullptr ? Json(validUtf8(*error)) : Json(nullptr)}};
        if (report.coverage) {
            entry["uncovered_lines"] = program.uncoveredLines;
        }
        entry["cases"] = std::move(cases);
        programs.push_back(std::move(entry));
    }
    const Json document = {{"suite", validUtf8(report.suite.name)},
                           {"programs", std::move(programs)}};
    out << document.dump() << '\n';
}

void writeJUnit(std::ostream& out, const Report& report) {
    // An assembly error is the program's fault, not a check that failed.
    const auto count = [](const ProgramResult& program, bool errors) {
        return static_cast<std::size_t>(
            std::count_if(program.cases.begin(), program.cases.end(), [&](const CaseResult& each) {
                return each.verdict != Verdict::Pass &&
                       (each.verdict == Verdict::AssemblyError) == errors;
            }));
    };
    std::size_t tests = 0;
    std::size_t failures = 0;
    std::size_t errors = 0;
    for (const ProgramResult& program : report.programs) {
        tests += program.cases.size();
        failures += count(program, false);
        errors += count(program, true);
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"" << xml(report.suite.name) << "\" tests=\"" << tests
        << "\" failures=\"" << failures << "\" errors=\"" << errors << "\">\n";
    for (const ProgramResult& program : report.programs) {
        const std::string file = xml(program.file);
        out << "  <testsuite name=\"" << file << "\" tests=\"" << program.cases.size()
            << "\" failures=\"" << count(program, false) << "\" errors=\"" << count(program, true)
            << "\" skipped=\"0\">\n"
            << "    <properties>\n"
            << "      <property name=\"score\" value=\"" << program.score << "\"/>\n"
            << "      <property name=\"max_score\" value=\"" << program.maxScore << "\"/>\n";
        if (report.coverage && !program.lineRuns.empty()) {
            // The testcase element has no properties in the schema that the
            // readers of this report accept: each case's lines are the
            // suite's, under "lines: CASE".
            out << "      <property name=\"uncovered_lines\" value=\""
                << lineRanges(program.uncoveredLines) << "\"/>\n";
            for (std::size_t i = 0; i < program.cases.size(); ++i) {
                const Case& test = report.suite.cases[i];
                if (showsDetails(report, test)) {
                    out << "      <property name=\"lines: " << xml(test.name) << "\" value=\""
                        << lineRanges(program.cases[i].lines) << "\"/>\n";
                }
            }
        }
        out << "    </properties>\n";
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            const Case& test = report.suite.cases[i];
            out << "    <testcase name=\"" << xml(test.name) << "\" classname=\"" << file << "\"";
            if (result.verdict == Verdict::Pass) {
                out << "/>\n";
                continue;
            }
            const char* element = result.verdict == Verdict::AssemblyError ? "error" : "failure";
            out << ">\n      <" << element << " type=\"" << nameOf(result.verdict)
                << "\" message=\"";
            if (result.verdict == Verdict::AssemblyError || showsDetails(report, test)) {
                out << xml(firstLine(result.message)) << "\">"
                    << xml(result.message, XmlPlace::Text) << "</" << element << ">\n";
            } else {
                out << nameOf(result.verdict) << "\"/>\n";
            }
            out << "    </testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

void writeCsv(std::ostream& out, const Report& report) {
    out << "file,score,max_score";
    for (const Case& test : report.suite.cases) {
        out << ',' << csv(test.name);
    }
    out << (report.coverage ? ",uncovered_lines\r\n" : "\r\n");
    for (const ProgramResult& program : report.programs) {
        out << csv(program.file) << ',' << program.score << ',' << program.maxScore;
        for (const CaseResult& result : program.cases) {
            out << ',' << result.points;
        }
        if (report.coverage) {
            out << ',' << csv(lineRanges(program.uncoveredLines));
        }
        out << "\r\n";
    }
}

}  // namespace Vorn::Grading
