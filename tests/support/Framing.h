// The framing of the language server's and the debug adapter's messages, as
// a test writes them to the real binary and reads back what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace Vorn::Testing {

inline std::string framed(const nlohmann::json& message) {
    const std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Reads the framed messages of a server's output; fails on a bad frame.
inline std::vector<nlohmann::json> unframe(const std::string& out) {
    std::vector<nlohmann::json> messages;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t headerEnd = out.find("\r\n\r\n", at);
        const std::string prefix = "Content-Length: ";
        if (headerEnd == std::string::npos || out.compare(at, prefix.size(), prefix) != 0) {
            ADD_FAILURE() << "bad frame at " << at << ": " << out.substr(at, 80);
            break;
        }
        const std::size_t length = std::stoul(out.substr(at + prefix.size(), headerEnd));
        messages.push_back(nlohmann::json::parse(out.substr(headerEnd + 4, length)));
        at = headerEnd + 4 + length;
    }
    return messages;
}

}  // namespace Vorn::Testing
