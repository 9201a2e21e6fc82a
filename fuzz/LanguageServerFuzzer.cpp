// Fuzz target: the language server's two doors. The bytes are read as the
// client's message stream (framing, JSON, requests), and as a source for the
// analysis, whose every query runs over it. They also shape what a careless
// or hostile client sends: notifications whose fields have the wrong types,
// and messages nested deeper than any parser's stack. Every input must end
// with answers and analyses, never a crash, a hang or an exception, and
// every request gets its answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/Completion.h"
#include "analysis/Diagnostics.h"
#include "analysis/Formatting.h"
#include "analysis/Hover.h"
#include "analysis/Lookup.h"
#include "analysis/Outline.h"
#include "fuzz/Require.h"
#include "langserver/Server.h"
#include "protocol/Message.h"
#include "protocol/MessageReader.h"

namespace {

using Vorn::Fuzz::require;
using Vorn::Protocol::bodyOf;
using namespace Vorn;

void readMessages(const std::string& bytes) {
    std::istringstream in(bytes);
    Protocol::MessageReader reader(in, 1 << 16);
    LanguageServer::Server server;
    // Arbitrary bytes rarely make a session: start one, then go on with the input.
    server.handle({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", {}}});
    for (int messages = 0; messages < 64; ++messages) {
        const Protocol::ReadResult read = reader.read();
        if (read.status == Protocol::ReadResult::Status::EndOfInput) {
            break;
        }
        if (read.status == Protocol::ReadResult::Status::Message) {
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

using LanguageServer::Json;

// Whether `out` holds the answer to the request `id`.
bool answered(const std::vector<Json>& out, int id) {
    return std::any_of(out.begin(), out.end(), [id](const Json& message) {
        return message.contains("id") && message["id"] == id;
    });
}

// A field's value of one of several shapes, chosen by two bits of `choice`;
// no value at all when it should be missing.
std::optional<Json> shaped(unsigned choice, const Json& sound, const std::string& text) {
    switch (choice & 3U) {
        case 0:
            return sound;
        case 1:
            return std::nullopt;
        case 2:
            return Json(text);
        default:
            return Json::array({static_cast<int>(text.size()), nullptr});
    }
}

// didOpen and didChange whose fields the bytes shape, then requests on the
// document: each request is answered, whatever the notifications held.
void malformedNotifications(const std::string& bytes) {
    const unsigned choice = bytes.empty() ? 0U : static_cast<unsigned char>(bytes[0]);
    const std::string text = bytes.substr(std::min<std::size_t>(bytes.size(), 1), 256);
    const std::string uri = "file:///a.vorn";
    Json item = Json::object();
    Json change = Json::object();
    if (auto value = shaped(choice, uri, text)) {
        item["uri"] = *value;
    }
    if (auto value = shaped(choice >> 2, 1, text)) {
        item["version"] = *value;
    }
    if (auto value = shaped(choice >> 4, text, text)) {
        item["text"] = *value;
        change["text"] = *value;
    }
    if (auto value = shaped(choice >> 6, Json::array({change}), text)) {
        change = {{"textDocument", {{"uri", uri}, {"version", item.value("version", Json())}}},
                  {"contentChanges", *value}};
    }
    LanguageServer::Server server;
    server.handle({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", {}}});
    int id = 1;
    for (const Json& notification :
         {Json{{"jsonrpc", "2.0"},
               {"method", "textDocument/didOpen"},
               {"params", {{"textDocument", item}}}},
          Json{{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", change}}}) {
        (void)server.handle(notification);
        for (const char* method : {"textDocument/hover", "textDocument/semanticTokens/full",
                                   "textDocument/formatting"}) {
            const Json request = {{"jsonrpc", "2.0"},
                                  {"id", id},
                                  {"method", method},
                                  {"params",
                                   {{"textDocument", {{"uri", uri}}},
                                    {"position", {{"line", 0}, {"character", 0}}},
                                    {"options", Json::object()}}}};
            require(answered(server.handle(request), id++), "every request is answered");
        }
    }
}

// The bytes as a string nested in arrays, a little less or more deeply than
// the parser accepts, in a request's parameters or in its id: an error
// answer, never a crash.
void deepNesting(const std::string& bytes) {
    const std::size_t depth = Protocol::nestingLimit - 8 + bytes.size() % 16;
    const std::string nested =
        std::string(depth, '[') + bodyOf(Json(bytes)) + std::string(depth, ']');
    LanguageServer::Server server;
    server.handle({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", {}}});
    for (const std::string& body :
         {R"({"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":)" + nested + "}",
          R"({"jsonrpc":"2.0","id":)" + nested + R"(,"method":"shutdown"})"}) {
        const std::vector<Json> out = server.handleBody(body);
        require(out.size() == 1 && out[0].contains("error"),
                "deep nesting is answered with an error");
        (void)bodyOf(out[0]);
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
    malformedNotifications(bytes);
    deepNesting(bytes);
    analyse(bytes);
    return 0;
}
