#include "protocol/MessageReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <istream>
#include <new>
#include <optional>

namespace Vorn::Protocol {

namespace {

enum class LineStatus : unsigned char { Line, TooLong, EndOfInput };

// Reads a header line up to its "\r\n" (a lone "\n" is taken too). A line past
// the limit is read to its end and reported.
LineStatus readHeaderLine(std::istream& in, std::string& line) {
    line.clear();
    bool tooLong = false;
    for (;;) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) {
            return LineStatus::EndOfInput;
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return tooLong ? LineStatus::TooLong : LineStatus::Line;
        }
        if (line.size() < MessageReader::headerLineLimit) {
            line.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
    }
}

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// A decimal length, or nothing for anything else (a sign, a blank, no digits,
// more digits than any length can have).
std::optional<std::size_t> lengthOf(const std::string& text) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::stoull(text);
}

// Reads and drops `count` bytes; false if the input ends first.
bool skip(std::istream& in, std::size_t count) {
    std::array<char, MessageReader::chunkSize> chunk;
    while (count > 0) {
        const auto want = static_cast<std::streamsize>(std::min(count, chunk.size()));
        in.read(chunk.data(), want);
        if (in.gcount() != want) {
            return false;
        }
        count -= static_cast<std::size_t>(want);
    }
    return true;
}

enum class BodyStatus : unsigned char { Read, EndOfInput, OutOfMemory };

// Reads `length` bytes into `body` a chunk at a time: an announced length
// costs nothing until its bytes arrive. When memory runs out, the rest of the
// body is skipped.
BodyStatus readBody(std::istream& in, std::size_t length, std::string& body) {
    std::size_t done = 0;
    try {
        while (done < length) {
            const std::size_t want = std::min(length - done, MessageReader::chunkSize);
            body.resize(done + want);
            in.read(body.data() + done, static_cast<std::streamsize>(want));
            const auto got = static_cast<std::size_t>(in.gcount());
            done += got;
            if (got != want) {
                body.clear();
                return BodyStatus::EndOfInput;
            }
        }
    } catch (const std::bad_alloc&) {
        std::string().swap(body);
        return skip(in, length - done) ? BodyStatus::OutOfMemory : BodyStatus::EndOfInput;
    }
    return BodyStatus::Read;
}

}  // namespace

MessageReader::MessageReader(std::istream& in, std::size_t bodyLimit)
    : in_(in), bodyLimit_(bodyLimit) {}

ReadResult MessageReader::read() {
    ReadResult result;
    std::optional<std::size_t> length;
    std::string problem;
    std::string line;
    bool sawHeader = false;
    for (;;) {
        const LineStatus status = readHeaderLine(in_, line);
        if (status == LineStatus::EndOfInput) {
            return result;  // EndOfInput
        }
        if (status == LineStatus::TooLong) {
            problem = "a header line is longer than " + std::to_string(headerLineLimit) + " bytes";
            sawHeader = true;
            continue;
        }
        if (line.empty()) {
            if (!sawHeader) {
                continue;  // blank lines between messages
            }
            break;
        }
        sawHeader = true;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            problem = "a header line has no ':'";
            continue;
        }
        if (lowered(trimmed(line.substr(0, colon))) == "content-length") {
            length = lengthOf(trimmed(line.substr(colon + 1)));
            if (!length) {
                problem = "the Content-Length is not a number";
            }
        }
    }
    if (!length && problem.empty()) {
        problem = "the header has no Content-Length";
    }
    if (!length) {
        result.status = ReadResult::Status::BadHeader;
        result.problem = problem;
        return result;
    }
    if (*length > bodyLimit_) {
        if (!skip(in_, *length)) {
            return result;  // EndOfInput
        }
        result.status = ReadResult::Status::TooLarge;
        result.problem = "a message of " + std::to_string(*length) +
                         " bytes is over the limit of " + std::to_string(bodyLimit_) + " bytes";
        return result;
    }
    switch (readBody(in_, *length, result.body)) {
        case BodyStatus::EndOfInput:
            return result;  // EndOfInput within the body
        case BodyStatus::OutOfMemory:
            result.status = ReadResult::Status::TooLarge;
            result.problem =
                "there is not enough memory for a message of " + std::to_string(*length) + " bytes";
            return result;
        case BodyStatus::Read:
            break;
    }
    result.status = ReadResult::Status::Message;
    return result;
}

}  // namespace Vorn::Protocol
