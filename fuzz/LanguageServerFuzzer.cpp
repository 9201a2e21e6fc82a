// Fuzz target: the language server's two doors. The bytes are read as the
// client's message stream (framing, JSON, requests), and as a source for the
// analysis, whose every query runs over it. Every input must end with answers
// and analyses, never a crash, a hang or an exception.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "analysis/Completion.h"
#include "analysis/Diagnostics.h"
#include "analysis/Formatting.h"
#include "analysis/Hover.h"
#include "analysis/Lookup.h"
#include "analysis/Outline.h"
#include "fuzz/Require.h"
#include "langserver/MessageReader.h"
#include "langserver/Server.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn;

void readMessages(const std::string& bytes) {
    std::istringstream in(bytes);
    LanguageServer::MessageReader reader(in, 1 << 16);
    LanguageServer::Server server;
    // Arbitrary bytes rarely make a session: start one, then go on with the input.
    server.handle({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", {}}});
    for (int messages = 0; messages < 64; ++messages) {
        const LanguageServer::ReadResult read = reader.read();
        if (read.status == LanguageServer::ReadResult::Status::EndOfInput) {
            break;
        }
        if (read.status == LanguageServer::ReadResult::Status::Message) {
            for (const LanguageServer::Json& answer : server.handleBody(read.body)) {
                require(answer.is_object(), "every answer is an object");
                (void)answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            }
        }
        if (server.state() == LanguageServer::Server::State::Exited) {
            break;
        }
    }
}

void analyse(const std::string& source) {
    const Analysis::Document document(source);
    if (document.program().error) {
        require(!document.diagnostics().empty() &&
                    document.diagnostics()[0].message == document.program().error->message,
                "the error is the first diagnostic, with vornasm's message");
    }
    (void)Analysis::formatDocument(document);
    (void)Analysis::classify(document);
    (void)Analysis::outlineOf(document);
    const std::int32_t lines = std::min(document.lineCount(), 8);
    for (std::int32_t line = 1; line <= lines; ++line) {
        const auto length = static_cast<std::int32_t>(document.line(line).size());
        for (std::int32_t column = 0; column <= length && column < 24; column += 3) {
            (void)Analysis::hoverAt(document, line, column);
            (void)Analysis::completionsAt(document, line, column);
            (void)Analysis::referencesAt(document, line, column, true);
            (void)Analysis::renameAt(document, line, column, "renamed");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    readMessages(bytes);
    analyse(bytes);
    return 0;
}
