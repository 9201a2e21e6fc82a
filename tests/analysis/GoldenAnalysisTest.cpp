// The analysis never differs from vornasm: on every golden source and bundled
// example, its cells are the image vornasm writes and its error is the message
// vornasm prints (as the case's .stderr file or its inline expectation).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Document.h"

namespace Vorn::Analysis {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The error line a golden source expects, as tests/golden/check.sh reads
// it: NAME.stderr where the exact bytes matter, else the first comment
// "; expect-error: MESSAGE" (the line "Error: MESSAGE."); none without either.
std::optional<std::string> expectedError(const fs::path& source, const std::string& text) {
    fs::path stderrFile = source;
    stderrFile.replace_extension(".stderr");
    if (fs::exists(stderrFile)) {
        return contents(stderrFile);
    }
    constexpr std::string_view marker = "; expect-error: ";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (const std::size_t at = line.rfind(marker); at != std::string::npos) {
            std::string message = line.substr(at + marker.size());
            std::erase(message, '\r');
            return "Error: " + message + ".\n";
        }
    }
    return std::nullopt;
}

std::vector<fs::path> sources() {
    std::vector<fs::path> found;
    for (const char* root : {GOLDEN_DIR, EXAMPLES_DIR}) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            fs::path image = entry.path();
            image.replace_extension(".image");
            // Sources with an expected image or error (a grading exercise's
            // programs have neither).
            if (entry.path().extension() == ".vorn" &&
                (fs::exists(image) || expectedError(entry.path(), contents(entry.path())))) {
                found.push_back(entry.path());
            }
        }
    }
    return found;
}

TEST(GoldenAnalysis, CellsAndErrorAreVornasms) {
    const std::vector<fs::path> all = sources();
    ASSERT_GT(all.size(), 50u);
    for (const fs::path& source : all) {
        SCOPED_TRACE(source.string());
        fs::path image = source;
        image.replace_extension(".image");
        const std::string text = contents(source);
        const Document document(text);

        std::string words;
        for (const Assembly::ProgramCell& cell : document.program().cells) {
            words += std::to_string(cell.word.value()) + "\n";
        }
        EXPECT_EQ(words, fs::exists(image) ? contents(image) : "");

        std::string message;
        if (document.program().error) {
            message = "Error: " + document.program().error->message + ".\n";
        }
        EXPECT_EQ(message, expectedError(source, text).value_or(""));

        // The error, when there is one, is the first diagnostic, unchanged.
        if (document.program().error) {
            ASSERT_FALSE(document.diagnostics().empty());
            EXPECT_EQ(document.diagnostics()[0].message, document.program().error->message);
            EXPECT_GE(document.diagnostics()[0].position.line, 1);
        }
    }
}

}  // namespace
}  // namespace Vorn::Analysis
