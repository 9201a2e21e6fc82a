#include "protocol/Message.h"

#include <algorithm>
#include <ostream>

namespace Vorn::Protocol {

namespace {

// The deepest nesting of arrays and objects in a JSON text (brackets in
// strings not counted); stops counting past `limit`.
std::size_t nestingDepth(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                break;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

ParsedBody parseBody(std::string_view body, std::size_t depthLimit) {
    ParsedBody parsed;
    if (nestingDepth(body, depthLimit) > depthLimit) {
        parsed.problem = "the message nests deeper than " + std::to_string(depthLimit) + " levels";
        return parsed;
    }
    try {
        parsed.message = Json::parse(body);
    } catch (const Json::exception& error) {
        parsed.problem = std::string("the message is not JSON: ") + error.what();
    }
    return parsed;
}

std::string frame(std::string_view body) {
    std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    framed.append(body);
    return framed;
}

std::string bodyOf(const Json& message) {
    return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool MessageWriter::write(const Json& message) {
    const std::string framed = frame(bodyOf(message));
    const std::lock_guard lock(mutex_);
    out_ << framed << std::flush;
    return static_cast<bool>(out_);
}

}  // namespace Vorn::Protocol
