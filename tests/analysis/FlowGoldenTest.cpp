// Golden sources for what the editor shows beside the text: each file below
// flow/ names every diagnostic it expects on the line where it expects it,
// in a comment "; expect: SEVERITY CODE: MESSAGE" (several on one line are
// joined by " ; expect: "), and gets exactly those. The bundled examples get
// no warning at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Diagnostics.h"
#include "analysis/Document.h"
#include "support/RunProgram.h"

namespace Vorn::Analysis {
namespace {

namespace fs = std::filesystem;

// "LINE: SEVERITY CODE: MESSAGE", as the expectations and the diagnostics read.
std::string described(std::int32_t line, std::string_view severity, std::string_view code,
                      std::string_view message) {
    return std::to_string(line) + ": " + std::string(severity) + " " + std::string(code) + ": " +
           std::string(message);
}

std::vector<std::string> expectations(const std::string& text) {
    constexpr std::string_view marker = "; expect: ";
    std::vector<std::string> expected;
    std::istringstream lines(text);
    std::int32_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        for (std::size_t at = line.find(marker); at != std::string::npos;) {
            const std::size_t from = at + marker.size();
            at = line.find(marker, from);
            std::string item = line.substr(from, at == std::string::npos ? at : at - 1 - from);
            while (!item.empty() && (item.back() == ' ' || item.back() == '\r')) {
                item.pop_back();
            }
            expected.push_back(std::to_string(number) + ": " + item);
        }
    }
    return expected;
}

std::vector<std::string> diagnosticsOf(const Document& document) {
    std::vector<std::string> found;
    for (const Diagnostic& diagnostic : document.diagnostics()) {
        found.push_back(described(diagnostic.position.line, severityName(diagnostic.severity),
                                  diagnostic.code, diagnostic.message));
    }
    return found;
}

std::vector<fs::path> filesIn(const fs::path& directory) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.path().extension() == ".vorn") {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(FlowGolden, EveryDiagnosticWhereTheSourceExpectsIt) {
    const std::vector<fs::path> sources = filesIn(FLOW_DIR);
    ASSERT_GE(sources.size(), 8u);
    for (const fs::path& source : sources) {
        SCOPED_TRACE(source.filename().string());
        const std::string text = Testing::readFile(source.string());
        std::vector<std::string> expected = expectations(text);
        std::vector<std::string> found = diagnosticsOf(Document(text));
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
    }
}

TEST(FlowGolden, ExamplesHaveNoWarnings) {
    for (const fs::path& source : filesIn(EXAMPLES_DIR)) {
        SCOPED_TRACE(source.filename().string());
        const Document document(Testing::readFile(source.string()));
        for (const Diagnostic& diagnostic : document.diagnostics()) {
            EXPECT_NE(diagnostic.severity, Diagnostic::Severity::Warning)
                << diagnostic.position.line << ": " << diagnostic.message;
            EXPECT_NE(diagnostic.severity, Diagnostic::Severity::Error) << diagnostic.message;
        }
    }
}

}  // namespace
}  // namespace Vorn::Analysis
