// Checks shared by the command-line tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "support/RunProgram.h"

namespace Vorn::Testing {

// A run that failed the way every tool reports a failure: the exit status,
// one line "Error: " + message on standard error, nothing on standard output.
inline void expectFailure(const ProgramResult& result, int status, const std::string& message) {
    EXPECT_EQ(result.status, status) << message;
    EXPECT_EQ(result.err, "Error: " + message + "\n");
    EXPECT_EQ(result.out, "");
}

// Whether the tests run under AddressSanitizer, which reserves far more
// address space than a limit on it (ulimit -v) lets a program have.
inline bool builtWithSanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

// `count` copies of `line`, each ended by a line feed: a file of many lines.
inline std::string repeatedLine(const std::string& line, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += line + "\n";
    }
    return text;
}

}  // namespace Vorn::Testing
