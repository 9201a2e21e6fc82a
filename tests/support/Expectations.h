// Checks shared by the command-line tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "support/RunProgram.h"

namespace Vorn::Testing {

// A run that failed the way every tool reports a failure: the exit status,
// one line "Error: " + message on standard error, nothing on standard output.
inline void expectFailure(const ProgramResult& result, int status, const std::string& message) {
    EXPECT_EQ(result.status, status) << message;
    EXPECT_EQ(result.err, "Error: " + message + "\n");
    EXPECT_EQ(result.out, "");
}

// Runs a shell command line; "$0", "$1"... are `arguments`.
inline ProgramResult runShell(const std::string& command, const std::vector<std::string>& arguments,
                              const std::string& input, const Limits& limits) {
    std::vector<std::string> all = {"-c", command};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProgram("/bin/sh", all, input, limits);
}

// A source written to a fresh directory.
class Source {
  public:
    explicit Source(const std::string& text) { writeFile(path, text); }
    TemporaryDirectory dir;
    const std::string path = dir.file("program.vorn");
};

// `count` copies of `line`, each ended by a line feed: a file of many lines.
inline std::string repeatedLine(const std::string& line, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += line + "\n";
    }
    return text;
}

}  // namespace Vorn::Testing
