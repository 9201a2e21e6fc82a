// vornls as an editor runs it: the real binary, messages framed on its
// standard input, every answer read back from its standard output, and its
// exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/RunProgram.h"

namespace {

using Json = nlohmann::json;
using Vorn::Testing::runProgram;

const std::string uri = "file:///work/countdown.vorn";

std::string framed(const Json& message) {
    const std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

Json request(int id, const std::string& method, Json params = Json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}

Json notification(const std::string& method, Json params = Json::object()) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

Json at(int line, int character) {
    return {{"textDocument", {{"uri", uri}}},
            {"position", {{"line", line}, {"character", character}}}};
}

struct Session {
    int status = -1;
    std::vector<Json> messages;
    std::string err;

    // The answer to the request `id`.
    const Json& answer(int id) const {
        for (const Json& message : messages) {
            if (message.contains("id") && message["id"] == id) {
                return message;
            }
        }
        static const Json none;
        ADD_FAILURE() << "no answer to request " << id;
        return none;
    }
    std::vector<Json> notifications(const std::string& method) const {
        std::vector<Json> found;
        for (const Json& message : messages) {
            if (message.value("method", "") == method) {
                found.push_back(message);
            }
        }
        return found;
    }
};

// Reads the framed messages of the server's output; fails on a bad frame.
std::vector<Json> unframe(const std::string& out) {
    std::vector<Json> messages;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t headerEnd = out.find("\r\n\r\n", at);
        const std::string prefix = "Content-Length: ";
        if (headerEnd == std::string::npos || out.compare(at, prefix.size(), prefix) != 0) {
            ADD_FAILURE() << "bad frame at " << at << ": " << out.substr(at, 80);
            break;
        }
        const std::size_t length = std::stoul(out.substr(at + prefix.size(), headerEnd));
        messages.push_back(Json::parse(out.substr(headerEnd + 4, length)));
        at = headerEnd + 4 + length;
    }
    return messages;
}

Session run(const std::string& input, const std::vector<std::string>& arguments = {}) {
    const auto result = runProgram(VORNLS_PATH, arguments, input, {20, 2048});
    EXPECT_EQ(result.limitPassed, "");
    return {result.status, unframe(result.out), result.err};
}

std::string initialized() {
    return framed(request(1, "initialize",
                          {{"processId", nullptr}, {"capabilities", Json::object()}})) +
           framed(notification("initialized"));
}

std::string closing() {
    return framed(request(999, "shutdown", nullptr)) + framed(notification("exit"));
}

std::string opened(const std::string& text) {
    return framed(
        notification("textDocument/didOpen",
                     {{"textDocument",
                       {{"uri", uri}, {"languageId", "vorn"}, {"version", 1}, {"text", text}}}}));
}

// A faulty source: "lod" is not an operation, and the line is read as a data word.
const std::string faulty =
    "; counts down from n to 1\n"
    "        read\n"
    "        store I count\n"
    "        load O count\n"
    ":loop   jz O done\n"
    "        write\n"
    "        decr O\n"
    "        lod A x\n"
    ":done   jump end\n"
    ":count  0\n";

TEST(Protocol, EveryRequestOfAnEditingSession) {
    Json fix = {{"textDocument", {{"uri", uri}, {"version", 2}}},
                {"contentChanges", Json::array({{{"range",
                                                  {{"start", {{"line", 7}, {"character", 8}}},
                                                   {"end", {{"line", 7}, {"character", 15}}}}},
                                                 {"text", "jump loop"}}})}};
    const Session session =
        run(initialized() + opened(faulty) + framed(request(2, "textDocument/hover", at(4, 9))) +
            framed(request(3, "textDocument/hover", at(4, 1))) +
            framed(notification("textDocument/didChange", fix)) +
            // "done" is bound after the faulty line: known once that is mended.
            framed(request(4, "textDocument/definition", at(4, 13))) +
            framed(request(5, "textDocument/references",
                           [] {
                               Json p = at(2, 17);
                               p["context"] = {{"includeDeclaration", true}};
                               return p;
                           }())) +
            framed(request(6, "textDocument/prepareRename", at(2, 17))) +
            framed(request(7, "textDocument/rename",
                           [] {
                               Json p = at(2, 17);
                               p["newName"] = "counter";
                               return p;
                           }())) +
            framed(request(8, "textDocument/rename",
                           [] {
                               Json p = at(4, 8);
                               p["newName"] = "jumpz";
                               return p;
                           }())) +
            framed(request(9, "textDocument/completion", at(1, 8))) +
            framed(request(10, "textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}})) +
            framed(request(11, "textDocument/semanticTokens/full",
                           {{"textDocument", {{"uri", uri}}}})) +
            framed(request(12, "textDocument/formatting",
                           {{"textDocument", {{"uri", uri}}},
                            {"options", {{"tabSize", 8}, {"insertSpaces", true}}}})) +
            framed(request(13, "textDocument/noSuchThing", at(0, 0))) + closing());
    EXPECT_EQ(session.status, 0) << session.err;
    for (int id : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) {
        ASSERT_TRUE(session.answer(id).contains("result") || id == 8) << session.answer(id).dump();
        ASSERT_FALSE(session.answer(id).value("result", Json()).is_null() && id != 8)
            << "request " << id;
    }

    const Json& init = session.answer(1)["result"];
    EXPECT_EQ(init["serverInfo"]["name"], "vornls");
    EXPECT_EQ(init["capabilities"]["textDocumentSync"]["change"], 2);
    EXPECT_EQ(init["capabilities"]["positionEncoding"], "utf-16");

    // The diagnostics: vornasm's message, then those after the fix.
    const auto published = session.notifications("textDocument/publishDiagnostics");
    ASSERT_EQ(published.size(), 2u);
    const Json& error = published[0]["params"]["diagnostics"][0];
    EXPECT_EQ(error["severity"], 1);
    EXPECT_EQ(error["source"], "vornasm");
    const std::string exact =
        "(line 8, token identifier('A')) expecting end-of-line or end-of-file";
    EXPECT_EQ(error["message"].get<std::string>().substr(0, exact.size() + 2), exact + ". ");
    EXPECT_NE(error["message"].get<std::string>().find("did you mean 'load'?"), std::string::npos);
    EXPECT_EQ(error["range"]["start"]["line"], 7);
    EXPECT_EQ(published[1]["params"]["version"], 2);
    EXPECT_EQ(published[1]["params"]["diagnostics"], Json::array());

    EXPECT_NE(session.answer(2)["result"]["contents"]["value"].get<std::string>().find(
                  "jumps to addr if R is 0"),
              std::string::npos);
    EXPECT_EQ(session.answer(3)["result"]["contents"]["value"],
              "**label** `loop`: address 3 (0x0003)");
    EXPECT_EQ(session.answer(4)["result"]["range"]["start"], (Json{{"line", 8}, {"character", 1}}));

    const Json& references = session.answer(5)["result"];
    ASSERT_EQ(references.size(), 3u);  // its label and two uses
    EXPECT_EQ(references[0]["range"]["start"], (Json{{"line", 2}, {"character", 16}}));
    EXPECT_EQ(references[2]["range"]["start"], (Json{{"line", 9}, {"character", 1}}));

    EXPECT_EQ(session.answer(6)["result"]["placeholder"], "count");
    EXPECT_EQ(session.answer(7)["result"]["changes"][uri].size(), 3u);
    EXPECT_EQ(session.answer(8)["error"]["code"], -32803);
    EXPECT_EQ(session.answer(8)["error"]["message"],
              "'jz' is an operation name: it cannot be renamed.");

    const Json& completion = session.answer(9)["result"];
    EXPECT_GT(completion.size(), 16u);
    EXPECT_EQ(completion[0]["label"], "noop");

    const Json& symbols = session.answer(10)["result"];
    ASSERT_EQ(symbols.size(), 3u);
    EXPECT_EQ(symbols[0]["name"], "loop");
    EXPECT_EQ(symbols[0]["detail"], "address 3 (0x0003)");

    const Json& tokens = session.answer(11)["result"]["data"];
    ASSERT_GE(tokens.size(), 5u);
    // The comment on the first line: line 0, column 0, its length, class "comment".
    EXPECT_EQ(tokens[0], 0);
    EXPECT_EQ(tokens[1], 0);
    EXPECT_EQ(tokens[2], 25);
    EXPECT_EQ(tokens[3], 6);

    const Json& edits = session.answer(12)["result"];
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits[0]["newText"], "        store  I count");
    EXPECT_EQ(edits[0]["range"]["start"]["line"], 2);

    EXPECT_EQ(session.answer(13)["error"]["code"], -32601);
    EXPECT_EQ(session.answer(999)["result"], nullptr);
}

// With the error on line 8 still there, the names bound after it are known:
// the diagnostic is vornasm's first error, and nothing else is lost.
TEST(Protocol, TheWholeFileIsKnownPastAnError) {
    const auto withName = [](Json position, const std::string& name) {
        position["newName"] = name;
        return position;
    };
    Json references = at(2, 17);
    references["context"] = {{"includeDeclaration", true}};
    const Json document = {{"textDocument", {{"uri", uri}}}};
    const Session session = run(
        initialized() + opened(faulty) + framed(request(2, "textDocument/definition", at(4, 13))) +
        framed(request(3, "textDocument/references", references)) +
        framed(request(4, "textDocument/rename", withName(at(4, 13), "finished"))) +
        framed(request(5, "textDocument/completion", at(5, 8))) +
        framed(request(6, "textDocument/documentSymbol", document)) +
        framed(request(7, "textDocument/hover", at(8, 2))) + closing());
    EXPECT_EQ(session.status, 0) << session.err;
    const auto published = session.notifications("textDocument/publishDiagnostics");
    ASSERT_EQ(published.size(), 1u);
    const Json& diagnostics = published[0]["params"]["diagnostics"];
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0]["code"], "assembly-error");
    EXPECT_EQ(diagnostics[0]["range"]["start"]["line"], 7);

    // "done" is bound on line 9, after the error.
    EXPECT_EQ(session.answer(2)["result"]["range"]["start"], (Json{{"line", 8}, {"character", 1}}));
    EXPECT_EQ(session.answer(3)["result"].size(), 3u);  // "count" on lines 3, 4 and 10
    EXPECT_EQ(session.answer(4)["result"]["changes"][uri].size(), 2u);
    std::vector<std::string> labels;
    for (const Json& item : session.answer(5)["result"]) {
        labels.push_back(item["label"]);
    }
    EXPECT_NE(std::find(labels.begin(), labels.end(), "done"), labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "count"), labels.end());
    std::vector<std::string> outline;
    for (const Json& symbol : session.answer(6)["result"]) {
        outline.push_back(symbol["name"]);
    }
    EXPECT_EQ(outline, (std::vector<std::string>{"loop", "done", "count"}));
    EXPECT_EQ(session.answer(7)["result"]["contents"]["value"],
              "**label** `done`: address 7 (0x0007)");
}

TEST(Protocol, AThousandWarningsAndANoteForTheRest) {
    std::string text;
    for (int i = 0; i < 1100; ++i) {
        text += "jn A d\n";  // each jumps to the data word
    }
    text += "jump end\n:d 0\n";
    const Session session = run(initialized() + opened(text) + closing());
    const auto published = session.notifications("textDocument/publishDiagnostics");
    ASSERT_EQ(published.size(), 1u);
    const Json& list = published[0]["params"]["diagnostics"];
    ASSERT_EQ(list.size(), 1001u);
    EXPECT_EQ(list[999]["code"], "jumps-into-data");
    EXPECT_EQ(list[1000]["severity"], 3);
    EXPECT_EQ(list[1000]["message"],
              "and 100 more warnings, notes and hints from here on, not shown");
}

TEST(Protocol, ColumnsAreUtf16Units) {
    // A comment with a two-byte and a four-byte character, then the error on
    // the next line: the character after the comment's characters is counted
    // in UTF-16 units (é is one, 😀 two), the error's column in bytes is the same.
    const std::string text = "5 ; \xC3\xA9\xF0\x9F\x98\x80\n7 x\n";
    const Session session = run(
        initialized() + opened(text) +
        framed(request(2, "textDocument/semanticTokens/full", {{"textDocument", {{"uri", uri}}}})) +
        framed(request(3, "textDocument/hover", at(0, 0))) + closing());
    const auto published = session.notifications("textDocument/publishDiagnostics");
    ASSERT_EQ(published.size(), 1u);
    const Json& range = published[0]["params"]["diagnostics"][0]["range"];
    EXPECT_EQ(range["start"]["line"], 1);
    const Json& data = session.answer(2)["result"]["data"];
    ASSERT_GE(data.size(), 10u);
    EXPECT_EQ((std::vector<int>{data[5], data[6], data[7], data[8]}),
              (std::vector<int>{0, 2, 5, 6}));  // same line, 2 on, 5 units, a comment
}

struct Hostile {
    const char* name;
    std::string input;
    std::vector<int> errorCodes;  // of the answers, in order, before the shutdown's
    int status;
};

class HostileInput : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileInput, GetsTheProtocolsAnswerOrACleanExit) {
    const Hostile& c = GetParam();
    const Session session = run(c.input, {"--max-message-bytes", "4096"});
    EXPECT_EQ(session.status, c.status) << session.err;
    std::vector<int> codes;
    for (const Json& message : session.messages) {
        if (message.contains("error")) {
            codes.push_back(message["error"]["code"].get<int>());
        }
    }
    EXPECT_EQ(codes, c.errorCodes);
}

std::string hover(int id, Json position) {
    return framed(
        {{"jsonrpc", "2.0"},
         {"id", id},
         {"method", "textDocument/hover"},
         {"params", {{"textDocument", {{"uri", uri}}}, {"position", std::move(position)}}}});
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, HostileInput,
    ::testing::Values(
        Hostile{"HeaderWithoutLength",
                "Content-Type: x\r\n\r\n" + initialized() + closing(),
                {-32700},
                0},
        Hostile{"LengthNotANumber",
                "Content-Length: -5\r\n\r\n" + initialized() + closing(),
                {-32700},
                0},
        Hostile{"HeaderLineTooLong",
                "X-Padding: " + std::string(10000, 'x') + "\r\nContent-Length: 2\r\n\r\n{}" +
                    initialized() + closing(),
                {-32600},
                0},
        Hostile{"BodyNotJson",
                initialized() + "Content-Length: 9\r\n\r\n{\"id\": 1," + closing(),
                {-32700},
                0},
        Hostile{"BodyNotAnObject",
                initialized() + "Content-Length: 2\r\n\r\n[]" + closing(),
                {-32600},
                0},
        Hostile{"IdOfTheWrongType",
                initialized() + framed({{"jsonrpc", "2.0"}, {"id", {1}}, {"method", "shutdown"}}) +
                    closing(),
                {-32600},
                0},
        Hostile{"MissingFields",
                initialized() + opened("5\n") + hover(2, Json::object()) +
                    hover(3, {{"line", "one"}, {"character", 0}}) +
                    framed(request(4, "textDocument/hover",
                                   {{"position", {{"line", 0}, {"character", 0}}}})) +
                    closing(),
                {-32602, -32602, -32602},
                0},
        Hostile{"DocumentNotOpen",
                initialized() + hover(2, {{"line", 0}, {"character", 0}}) + closing(),
                {-32602},
                0},
        Hostile{"PositionsOutsideTheText",
                initialized() + opened("5\n") + hover(2, {{"line", 4000000000}, {"character", 9}}) +
                    closing(),
                {},
                0},
        Hostile{"UnknownMethod",
                initialized() + framed(request(2, "workspace/unheardOf")) +
                    framed(notification("$/unheardOf")) + closing(),
                {-32601},
                0},
        Hostile{"RequestBeforeInitialize",
                framed(request(2, "textDocument/hover", at(0, 0))) + initialized() + closing(),
                {-32002},
                0},
        Hostile{
            "HugeMessage",
            initialized() +
                framed(notification("textDocument/didOpen", {{"text", std::string(5000, 'x')}})) +
                closing(),
            {-32700},
            0},
        Hostile{"RequestAfterShutdown",
                initialized() + framed(request(2, "shutdown", nullptr)) +
                    framed(request(3, "textDocument/hover", at(0, 0))) +
                    framed(notification("exit")),
                {-32600},
                0},
        Hostile{"ExitWithoutShutdown", initialized() + framed(notification("exit")), {}, 1},
        Hostile{"InputClosedWithoutShutdown", initialized() + opened("5\n"), {}, 1},
        Hostile{"InputClosedWithinABody",
                initialized() + "Content-Length: 100\r\n\r\n{\"jsonrpc\"",
                {},
                1},
        Hostile{"InputClosedAtOnce", "", {}, 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Command, HelpAndVersion) {
    const auto help = runProgram(VORNLS_PATH, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: vornls"), std::string::npos);
    const auto version = runProgram(VORNLS_PATH, {"--version"});
    EXPECT_EQ(version.out, "vornls " VORN_VERSION "\n");
    const auto wrong = runProgram(VORNLS_PATH, {"--tcp"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("unknown option '--tcp'"), std::string::npos);
}

}  // namespace
