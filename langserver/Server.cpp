#include "langserver/Server.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "analysis/Completion.h"
#include "analysis/Diagnostics.h"
#include "analysis/Formatting.h"
#include "analysis/Hover.h"
#include "analysis/Lookup.h"
#include "analysis/Outline.h"
#include "analysis/TextPosition.h"
#include "text/Lines.h"

#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif

namespace Vorn::LanguageServer {

namespace {

using Analysis::Document;
using Assembly::SourcePosition;

// The protocol's error codes.
namespace ErrorCode {
constexpr int parseError = -32700;
constexpr int invalidRequest = -32600;
constexpr int methodNotFound = -32601;
constexpr int invalidParams = -32602;
constexpr int internalError = -32603;
constexpr int serverNotInitialized = -32002;
constexpr int requestFailed = -32803;
}  // namespace ErrorCode

struct ProtocolError {
    int code;
    std::string message;
};

[[noreturn]] void invalidParams(const std::string& why) {
    throw ProtocolError{ErrorCode::invalidParams, why};
}

const Json& field(const Json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) {
        invalidParams(std::string("missing field '") + name + "'");
    }
    return object[name];
}

std::string stringField(const Json& object, const char* name) {
    const Json& value = field(object, name);
    if (!value.is_string()) {
        invalidParams(std::string("field '") + name + "' is not a string");
    }
    return value.get<std::string>();
}

std::int32_t countField(const Json& object, const char* name) {
    const Json& value = field(object, name);
    if (!value.is_number_unsigned() &&
        !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
        invalidParams(std::string("field '") + name + "' is not a line or character number");
    }
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(value.get<std::uint64_t>(), 0x7FFFFFFE));
}

std::string uriOf(const Json& params) {
    return stringField(field(params, "textDocument"), "uri");
}

// A place in a document, from the protocol's position: line from 1, byte column.
struct Place {
    std::int32_t line;
    std::int32_t column;
};

Place placeOf(const Document& document, const Json& params) {
    const Json& position = field(params, "position");
    const std::int32_t line = countField(position, "line");
    const std::int32_t character = countField(position, "character");
    const std::int32_t number = line + 1;
    return {number, Analysis::byteColumn(document.line(number), character)};
}

Json positionJson(const Document& document, std::int32_t line, std::int32_t byteColumn) {
    return {{"line", std::max(line - 1, 0)},
            {"character", Analysis::utf16Column(document.line(line), byteColumn)}};
}

Json rangeJson(const Document& document, const SourcePosition& place) {
    return {{"start", positionJson(document, place.line, place.column)},
            {"end", positionJson(document, place.line, place.column + place.length)}};
}

Json lineRange(const Document& document, std::int32_t line) {
    return rangeJson(document, {line, 0, static_cast<std::int32_t>(document.line(line).size())});
}

Json locationJson(const std::string& uri, const Document& document, const SourcePosition& place) {
    return {{"uri", uri}, {"range", rangeJson(document, place)}};
}

Json response(const Json& id, Json result) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json errorResponse(const Json& id, int code, const std::string& message) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

// A line for the client's log (the protocol's message type 1, an error).
Json logMessage(const std::string& message) {
    return {{"jsonrpc", "2.0"},
            {"method", "window/logMessage"},
            {"params", {{"type", 1}, {"message", message}}}};
}

// A document's version: an integer, when the client gives one.
std::int64_t versionOf(const Json& item, std::int64_t otherwise) {
    if (!item.contains("version")) {
        return otherwise;
    }
    const Json& version = item["version"];
    if (!version.is_number_integer()) {
        invalidParams("field 'version' is not an integer");
    }
    return version.get<std::int64_t>();
}

// The byte offset of a protocol position in a text (clamped to the text).
std::size_t offsetIn(const std::string& text, const Json& position) {
    const std::int32_t line = countField(position, "line");
    const std::int32_t character = countField(position, "character");
    const auto found = Text::lineAt(text, static_cast<std::size_t>(line));
    if (!found) {
        return text.size();
    }
    return found->start + static_cast<std::size_t>(Analysis::byteColumn(found->text, character));
}

// The legend of the semantic tokens, in the order of Analysis::TokenClass.
const std::array<const char*, Analysis::tokenClassCount> tokenTypes{
    "keyword", "parameter", "function", "macro", "variable", "number", "comment", "operator"};

// An editor shows a few hundred warnings usefully, not tens of thousands: past
// this many, one note says how many more there are.
constexpr std::size_t warningsPublished = 1000;

int completionKind(Analysis::Completion::Kind kind) {
    switch (kind) {
        case Analysis::Completion::Kind::Operation:
            return 14;  // Keyword
        case Analysis::Completion::Kind::Register:
            return 6;  // Variable
        case Analysis::Completion::Kind::Label:
            return 18;  // Reference
        case Analysis::Completion::Kind::Definition:
        case Analysis::Completion::Kind::Predefined:
            return 21;  // Constant
    }
    return 1;
}

}  // namespace

Json Server::frameError(const std::string& problem) {
    return errorResponse(nullptr, ErrorCode::parseError, problem);
}

const Analysis::Document* Server::document(const std::string& uri) const {
    const auto found = documents_.find(uri);
    return found == documents_.end() ? nullptr : found->second.analysis.get();
}

std::vector<Json> Server::handleBody(std::string_view body) {
    const Protocol::ParsedBody parsed = Protocol::parseBody(body);
    if (!parsed.message) {
        return {errorResponse(nullptr, ErrorCode::parseError, parsed.problem)};
    }
    return handle(*parsed.message);
}

std::vector<Json> Server::handle(const Json& message) {
    std::vector<Json> out;
    if (!message.is_object()) {
        out.push_back(
            errorResponse(nullptr, ErrorCode::invalidRequest, "a message is a JSON object"));
        return out;
    }
    const bool hasId = message.contains("id");
    Json id = hasId ? message["id"] : Json();
    if (hasId && !id.is_string() && !id.is_number_integer()) {
        out.push_back(errorResponse(nullptr, ErrorCode::invalidRequest,
                                    "a request's id is a number or a string"));
        return out;
    }
    if (!message.contains("method")) {
        if (!hasId) {
            out.push_back(
                errorResponse(nullptr, ErrorCode::invalidRequest, "the message has no method"));
        }
        return out;  // a response to a request of ours: there are none
    }
    if (!message["method"].is_string()) {
        out.push_back(errorResponse(id, ErrorCode::invalidRequest, "the method is not a string"));
        return out;
    }
    const std::string method = message["method"].get<std::string>();
    const Json params = message.contains("params") ? message["params"] : Json::object();
    if (!hasId) {
        // A notification gets no answer, not even an error: a malformed one is
        // dropped, and the client's log says why.
        try {
            notification(method, params, out);
        } catch (const ProtocolError& error) {
            out.push_back(logMessage(method + " dropped: " + error.message));
        } catch (const Json::exception& error) {
            out.push_back(logMessage(method + " dropped: " + error.what()));
        } catch (const std::bad_alloc&) {
            out.push_back(logMessage(method + " dropped: out of memory"));
        }
        return out;
    }
    try {
        if (state_ == State::Starting && method != "initialize") {
            throw ProtocolError{ErrorCode::serverNotInitialized, "the server is not initialized"};
        }
        if (state_ == State::ShutDown) {
            throw ProtocolError{ErrorCode::invalidRequest, "the server is shut down"};
        }
        out.insert(out.begin(), response(id, request(method, params)));
    } catch (const ProtocolError& error) {
        out.insert(out.begin(), errorResponse(id, error.code, error.message));
    } catch (const Json::exception& error) {
        out.insert(out.begin(), errorResponse(id, ErrorCode::invalidParams, error.what()));
    } catch (const std::bad_alloc&) {
        out.insert(out.begin(), errorResponse(id, ErrorCode::internalError, "out of memory"));
    }
    return out;
}

Json Server::request(const std::string& method, const Json& params) {
    if (method == "initialize") {
        return initialize(params);
    }
    if (method == "shutdown") {
        state_ = State::ShutDown;
        shutDown_ = true;
        return nullptr;
    }
    using Handler = Json (Server::*)(const Json&) const;
    static const std::map<std::string, Handler, std::less<>> handlers{
        {"textDocument/hover", &Server::hover},
        {"textDocument/definition", &Server::definition},
        {"textDocument/references", &Server::references},
        {"textDocument/prepareRename", &Server::prepareRename},
        {"textDocument/rename", &Server::rename},
        {"textDocument/completion", &Server::completion},
        {"textDocument/documentSymbol", &Server::documentSymbols},
        {"textDocument/semanticTokens/full", &Server::semanticTokens},
        {"textDocument/formatting", &Server::formatting},
    };
    const auto handler = handlers.find(method);
    if (handler == handlers.end()) {
        throw ProtocolError{ErrorCode::methodNotFound, "unknown method '" + method + "'"};
    }
    return (this->*handler->second)(params);
}

void Server::notification(const std::string& method, const Json& params, std::vector<Json>& out) {
    if (method == "exit") {
        state_ = State::Exited;
        return;
    }
    if (state_ != State::Running) {
        return;  // before initialize and after shutdown, notifications are dropped
    }
    if (method == "textDocument/didOpen") {
        // Every field is checked before the document is kept: a malformed
        // notification leaves no half-open document behind.
        const Json& item = field(params, "textDocument");
        const std::string uri = stringField(item, "uri");
        const std::int64_t version = versionOf(item, 0);
        auto analysis = std::make_unique<Document>(stringField(item, "text"));
        OpenDocument& document = documents_[uri];
        document.version = version;
        document.analysis = std::move(analysis);
        out.push_back(diagnosticsOf(uri, document));
    } else if (method == "textDocument/didChange") {
        const std::string uri = uriOf(params);
        const auto found = documents_.find(uri);
        if (found == documents_.end()) {
            return;
        }
        std::string text = found->second.analysis->text();
        const Json& changes = field(params, "contentChanges");
        if (!changes.is_array()) {
            invalidParams("contentChanges is not a list");
        }
        for (const Json& change : changes) {
            std::string newText = stringField(change, "text");
            if (change.contains("range")) {
                const Json& range = change["range"];
                const std::size_t start = offsetIn(text, field(range, "start"));
                const std::size_t end = std::max(start, offsetIn(text, field(range, "end")));
                text.replace(start, end - start, newText);
            } else {
                text = std::move(newText);
            }
        }
        OpenDocument& document = found->second;
        const std::int64_t version = versionOf(field(params, "textDocument"), document.version);
        auto analysis = std::make_unique<Document>(std::move(text));
        document.version = version;
        document.analysis = std::move(analysis);
        out.push_back(diagnosticsOf(uri, document));
    } else if (method == "textDocument/didClose") {
        const std::string uri = uriOf(params);
        if (documents_.erase(uri) > 0) {
            out.push_back({{"jsonrpc", "2.0"},
                           {"method", "textDocument/publishDiagnostics"},
                           {"params", {{"uri", uri}, {"diagnostics", Json::array()}}}});
        }
    }
    // Every other notification (initialized, $/cancelRequest, didSave...) needs nothing.
}

Json Server::diagnosticsOf(const std::string& uri, const OpenDocument& open) const {
    const Document& document = *open.analysis;
    Json list = Json::array();
    std::size_t warnings = 0;
    for (const Analysis::Diagnostic& diagnostic : document.diagnostics()) {
        // Warnings, notes and hints alike: a long program's hints on
        // unreachable code would cost the editor more than they tell.
        if (diagnostic.severity != Analysis::Diagnostic::Severity::Error &&
            ++warnings > warningsPublished) {
            const std::size_t more = document.diagnostics().size() - list.size();
            list.push_back({{"range", rangeJson(document, diagnostic.position)},
                            {"severity", 3},  // Information
                            {"source", "vornls"},
                            {"message", "and " + std::to_string(more) +
                                            " more warnings, notes and hints from here on, "
                                            "not shown"}});
            break;
        }
        const bool error = diagnostic.severity == Analysis::Diagnostic::Severity::Error;
        Json item{
            {"range", rangeJson(document, diagnostic.position)},
            // Error 1, Warning 2, Information 3, Hint 4: the protocol's order.
            {"severity", static_cast<int>(diagnostic.severity) + 1},
            {"code", std::string(diagnostic.code)},
            {"source", error ? "vornasm" : "vornls"},
            {"message", diagnostic.hint.empty() ? diagnostic.message
                                                : diagnostic.message + ". " + diagnostic.hint}};
        if (diagnostic.code == Analysis::Codes::unusedLabel ||
            diagnostic.code == Analysis::Codes::unusedDefinition ||
            diagnostic.code == Analysis::Codes::unreachable) {
            item["tags"] = {1};  // Unnecessary
        }
        list.push_back(std::move(item));
    }
    return {
        {"jsonrpc", "2.0"},
        {"method", "textDocument/publishDiagnostics"},
        {"params", {{"uri", uri}, {"version", open.version}, {"diagnostics", std::move(list)}}}};
}

const Server::OpenDocument& Server::open(const Json& params) const {
    const std::string uri = uriOf(params);
    const auto found = documents_.find(uri);
    if (found == documents_.end()) {
        throw ProtocolError{ErrorCode::invalidParams, "the document " + uri + " is not open"};
    }
    return found->second;
}

Json Server::initialize(const Json& params) {
    if (state_ != State::Starting) {
        throw ProtocolError{ErrorCode::invalidRequest, "the server is already initialized"};
    }
    if (!params.is_object()) {
        invalidParams("the parameters are not an object");
    }
    state_ = State::Running;
    Json legend{{"tokenTypes", tokenTypes}, {"tokenModifiers", Json::array()}};
    return {{"capabilities",
             {{"positionEncoding", "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
              {"hoverProvider", true},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"renameProvider", {{"prepareProvider", true}}},
              {"completionProvider", Json::object()},
              {"documentSymbolProvider", true},
              {"semanticTokensProvider", {{"legend", legend}, {"full", true}}},
              {"documentFormattingProvider", true}}},
            {"serverInfo", {{"name", "vornls"}, {"version", VORN_VERSION}}}};
}

Json Server::hover(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    const auto hover = Analysis::hoverAt(document, place.line, place.column);
    if (!hover) {
        return nullptr;
    }
    return {{"contents", {{"kind", "markdown"}, {"value", hover->markdown}}},
            {"range", rangeJson(document, hover->range)}};
}

Json Server::definition(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    const auto definition = Analysis::definitionAt(document, place.line, place.column);
    if (!definition) {
        return nullptr;
    }
    return locationJson(uriOf(params), document, *definition);
}

Json Server::references(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    bool withDefinition = true;
    if (params.contains("context") && params["context"].is_object()) {
        withDefinition = params["context"].value("includeDeclaration", true);
    }
    Json list = Json::array();
    const std::string uri = uriOf(params);
    for (const SourcePosition& use :
         Analysis::referencesAt(document, place.line, place.column, withDefinition)) {
        list.push_back(locationJson(uri, document, use));
    }
    return list;
}

Json Server::prepareRename(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    const auto name = Analysis::nameAt(document, place.line, place.column);
    // Renaming to the name itself: refused only for what cannot be renamed at all.
    const Analysis::Rename rename =
        Analysis::renameAt(document, place.line, place.column, name ? name->token.text : "_");
    if (!rename.refusal.empty()) {
        throw ProtocolError{ErrorCode::requestFailed, rename.refusal};
    }
    return {{"range", rangeJson(document, {place.line, name->token.column, name->token.length()})},
            {"placeholder", std::string(name->token.text)}};
}

Json Server::rename(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    const std::string newName = stringField(params, "newName");
    const Analysis::Rename rename = Analysis::renameAt(document, place.line, place.column, newName);
    if (!rename.refusal.empty()) {
        throw ProtocolError{ErrorCode::requestFailed, rename.refusal};
    }
    Json edits = Json::array();
    for (const SourcePosition& where : rename.places) {
        edits.push_back({{"range", rangeJson(document, where)}, {"newText", newName}});
    }
    return {{"changes", {{uriOf(params), std::move(edits)}}}};
}

Json Server::completion(const Json& params) const {
    const Document& document = *open(params).analysis;
    const Place place = placeOf(document, params);
    Json items = Json::array();
    for (const Analysis::Completion& item :
         Analysis::completionsAt(document, place.line, place.column)) {
        items.push_back(
            {{"label", item.label}, {"kind", completionKind(item.kind)}, {"detail", item.detail}});
    }
    return items;
}

Json Server::documentSymbols(const Json& params) const {
    const Document& document = *open(params).analysis;
    Json list = Json::array();
    for (const Analysis::OutlineSymbol& symbol : Analysis::outlineOf(document)) {
        list.push_back({{"name", symbol.name},
                        {"detail", symbol.detail},
                        {"kind", symbol.isLabel ? 20 : 14},  // Key, Constant
                        {"range", lineRange(document, symbol.definition.line)},
                        {"selectionRange", rangeJson(document, symbol.definition)}});
    }
    return list;
}

Json Server::semanticTokens(const Json& params) const {
    const Document& document = *open(params).analysis;
    std::vector<std::uint32_t> data;
    std::int32_t lastLine = 1;
    std::int32_t lastStart = 0;
    for (const Analysis::ClassedToken& token : Analysis::classify(document)) {
        const std::string_view line = document.line(token.line);
        const std::int32_t start = Analysis::utf16Column(line, token.column);
        const std::int32_t end = Analysis::utf16Column(line, token.column + token.length);
        const std::int32_t deltaStart = token.line == lastLine ? start - lastStart : start;
        data.insert(data.end(), {static_cast<std::uint32_t>(token.line - lastLine),
                                 static_cast<std::uint32_t>(deltaStart),
                                 static_cast<std::uint32_t>(end - start),
                                 static_cast<std::uint32_t>(token.tokenClass), 0});
        lastLine = token.line;
        lastStart = start;
    }
    return {{"data", data}};
}

Json Server::formatting(const Json& params) const {
    const Document& document = *open(params).analysis;
    Json edits = Json::array();
    for (const Analysis::LineEdit& edit : Analysis::formatDocument(document)) {
        edits.push_back({{"range", lineRange(document, edit.line)}, {"newText", edit.text}});
    }
    return edits;
}

}  // namespace Vorn::LanguageServer
