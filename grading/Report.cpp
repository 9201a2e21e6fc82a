#include "grading/Report.h"
#include "text/Lines.h"

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

std::string firstLine(const std::string& message) {
    return message.substr(0, message.find('\n'));
}

}  // namespace

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

void writeText(std::ostream& out, const Report& report, bool colour) {
    const Colours colours(colour);
    std::size_t passed = 0;
    for (const ProgramResult& program : report.programs) {
        passed += program.passed() ? 1 : 0;
        out << colours.paint("1", Text::visible(program.file) + ": " +
                                      points(program.score, program.maxScore))
            << '\n';
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            const Case& test = report.suite.cases[i];
            std::string verdict(nameOf(result.verdict));
            verdict.resize(std::max<std::size_t>(verdict.size(), 16), ' ');
            out << "  " << colours.paint(result.verdict == Verdict::Pass ? "32" : "31", verdict)
                << Text::visible(test.name) << " (" << points(result.points, test.points) << ")\n";
            for (const std::string_view line : Text::splitLines(result.message)) {
                out << "      " << Text::visible(line) << '\n';
            }
        }
    }
    out << Text::visible(report.suite.name) << ": " << passed << " of " << report.programs.size()
        << (report.programs.size() == 1 ? " program" : " programs") << " passed every case\n";
}

void writeJson(std::ostream& out, const Report& report) {
    using Json = nlohmann::ordered_json;
    Json programs = Json::array();
    for (const ProgramResult& program : report.programs) {
        Json cases = Json::array();
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            const Case& test = report.suite.cases[i];
            cases.push_back({{"name", validUtf8(test.name)},
                             {"verdict", nameOf(result.verdict)},
                             {"points", result.points},
                             {"steps", result.steps},
                             {"expected", test.output},
                             {"output", result.output},
                             {"message", validUtf8(result.message)}});
        }
        programs.push_back({{"file", validUtf8(program.file)},
                            {"score", program.score},
                            {"max_score", program.maxScore},
                            {"cases", std::move(cases)}});
    }
    const Json document = {{"suite", validUtf8(report.suite.name)},
                           {"programs", std::move(programs)}};
    out << document.dump() << '\n';
}

void writeJUnit(std::ostream& out, const Report& report) {
    std::size_t tests = 0;
    std::size_t failures = 0;
    for (const ProgramResult& program : report.programs) {
        tests += program.cases.size();
        for (const CaseResult& result : program.cases) {
            failures += result.verdict == Verdict::Pass ? 0 : 1;
        }
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"" << xml(report.suite.name) << "\" tests=\"" << tests
        << "\" failures=\"" << failures << "\" errors=\"0\">\n";
    for (const ProgramResult& program : report.programs) {
        std::size_t failed = 0;
        for (const CaseResult& result : program.cases) {
            failed += result.verdict == Verdict::Pass ? 0 : 1;
        }
        const std::string file = xml(program.file);
        out << "  <testsuite name=\"" << file << "\" tests=\"" << program.cases.size()
            << "\" failures=\"" << failed << "\" errors=\"0\" skipped=\"0\">\n"
            << "    <properties>\n"
            << "      <property name=\"score\" value=\"" << program.score << "\"/>\n"
            << "      <property name=\"max_score\" value=\"" << program.maxScore << "\"/>\n"
            << "    </properties>\n";
        for (std::size_t i = 0; i < program.cases.size(); ++i) {
            const CaseResult& result = program.cases[i];
            out << "    <testcase name=\"" << xml(report.suite.cases[i].name) << "\" classname=\""
                << file << "\"";
            if (result.verdict == Verdict::Pass) {
                out << "/>\n";
                continue;
            }
            out << ">\n      <failure type=\"" << nameOf(result.verdict) << "\" message=\""
                << xml(firstLine(result.message)) << "\">" << xml(result.message, XmlPlace::Text)
                << "</failure>\n    </testcase>\n";
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
    out << "\r\n";
    for (const ProgramResult& program : report.programs) {
        out << csv(program.file) << ',' << program.score << ',' << program.maxScore;
        for (const CaseResult& result : program.cases) {
            out << ',' << result.points;
        }
        out << "\r\n";
    }
}

}  // namespace Vorn::Grading
