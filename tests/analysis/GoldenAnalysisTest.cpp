// The analysis never differs from vornasm: on every golden source and bundled
// example, its cells are the image vornasm writes and its error is the message
// vornasm prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

std::vector<fs::path> sources() {
    std::vector<fs::path> found;
    for (const char* root : {GOLDEN_DIR, EXAMPLES_DIR}) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            fs::path image = entry.path();
            image.replace_extension(".image");
            fs::path message = entry.path();
            message.replace_extension(".stderr");
            // Sources with an expected image or message (a grading exercise's
            // programs have neither).
            if (entry.path().extension() == ".vorn" && (fs::exists(image) || fs::exists(message))) {
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
        fs::path stderrFile = source;
        stderrFile.replace_extension(".stderr");
        const Document document(contents(source));

        std::string words;
        for (const Assembly::ProgramCell& cell : document.program().cells) {
            words += std::to_string(cell.word.value()) + "\n";
        }
        EXPECT_EQ(words, fs::exists(image) ? contents(image) : "");

        std::string message;
        if (document.program().error) {
            message = "Error: " + document.program().error->message + ".\n";
        }
        EXPECT_EQ(message, fs::exists(stderrFile) ? contents(stderrFile) : "");

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
