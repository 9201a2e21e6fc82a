// The language server: takes the client's messages one at a time and gives
// back what to send, answers and notifications. It keeps the open documents
// and their analyses (analysis/), and does no input or output itself: the
// command (main.cpp) reads and writes the messages, the tests call it directly.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Document.h"
#include "protocol/Message.h"

namespace Vorn::LanguageServer {

using Json = Protocol::Json;

class Server {
  public:
    enum class State : unsigned char { Starting, Running, ShutDown, Exited };

    // Handles one message's body (JSON text) and returns the messages to send.
    std::vector<Json> handleBody(std::string_view body);
    std::vector<Json> handle(const Json& message);

    // An answer for a message the reader could not frame (no request id).
    static Json frameError(const std::string& problem);

    State state() const { return state_; }
    // The exit status the protocol asks for: 0 after shutdown, 1 otherwise.
    int exitStatus() const { return shutDown_ ? 0 : 1; }

    // The analysis of an open document, or null.
    const Analysis::Document* document(const std::string& uri) const;

  private:
    struct OpenDocument {
        std::int64_t version = 0;
        std::unique_ptr<Analysis::Document> analysis;
    };

    Json request(const std::string& method, const Json& params);
    void notification(const std::string& method, const Json& params, std::vector<Json>& out);
    Json diagnosticsOf(const std::string& uri, const OpenDocument& document) const;
    const OpenDocument& open(const Json& params) const;

    Json initialize(const Json& params);
    Json hover(const Json& params) const;
    Json definition(const Json& params) const;
    Json references(const Json& params) const;
    Json prepareRename(const Json& params) const;
    Json rename(const Json& params) const;
    Json completion(const Json& params) const;
    Json documentSymbols(const Json& params) const;
    Json semanticTokens(const Json& params) const;
    Json formatting(const Json& params) const;

    State state_ = State::Starting;
    bool shutDown_ = false;
    std::map<std::string, OpenDocument, std::less<>> documents_;
};

}  // namespace Vorn::LanguageServer
