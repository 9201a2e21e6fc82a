// vornls as an editor runs it: the real binary, messages framed on its
// standard input, every answer read back from its standard output, and its
// exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/Framing.h"
#include "support/RunProgram.h"

namespace {

using Json = nlohmann::json;
using Vorn::Testing::builtWithSanitizers;
using Vorn::Testing::framed;
using Vorn::Testing::runProgram;
using Vorn::Testing::unframe;

const std::string uri = "file:///work/countdown.vorn";

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

// A notification that cannot be used is dropped and logged, and leaves no
// half-open document behind: a request on that document is answered.
struct Malformed {
    const char* name;
    Json textDocument;
};

class MalformedNotification : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedNotification, IsDroppedAndLoggedAndRequestsAreAnswered) {
    const Malformed& c = GetParam();
    const Session session = run(
        initialized() +
        framed(notification("textDocument/didOpen", {{"textDocument", c.textDocument}})) +
        framed(request(2, "textDocument/hover", at(0, 0))) +
        framed(request(3, "textDocument/semanticTokens/full", {{"textDocument", {{"uri", uri}}}})) +
        closing());
    EXPECT_EQ(session.status, 0) << session.err;
    EXPECT_EQ(session.answer(2)["error"]["code"], -32602);
    EXPECT_EQ(session.answer(3)["error"]["code"], -32602);
    const std::vector<Json> logged = session.notifications("window/logMessage");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0]["params"]["type"], 1);
    EXPECT_EQ(logged[0]["params"]["message"].get<std::string>().rfind(
                  "textDocument/didOpen dropped: ", 0),
              0u)
        << logged[0];
    EXPECT_TRUE(session.notifications("textDocument/publishDiagnostics").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, MalformedNotification,
    ::testing::Values(
        Malformed{"WithoutText", {{"uri", uri}, {"languageId", "vorn"}, {"version", 1}}},
        Malformed{"TextANumber", {{"uri", uri}, {"version", 1}, {"text", 5}}},
        Malformed{"VersionAString", {{"uri", uri}, {"version", "1"}, {"text", "5\n"}}},
        Malformed{"VersionAFraction", {{"uri", uri}, {"version", 1.5}, {"text", "5\n"}}},
        Malformed{"UriAList", {{"uri", {uri}}, {"version", 1}, {"text", "5\n"}}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Protocol, AMalformedChangeKeepsTheDocumentAsItWas) {
    const Json change = {{"textDocument", {{"uri", uri}, {"version", "two"}}},
                         {"contentChanges", Json::array({{{"text", "lod\n"}}})}};
    const Session session =
        run(initialized() + opened("5\n") + framed(notification("textDocument/didChange", change)) +
            framed(request(2, "textDocument/formatting",
                           {{"textDocument", {{"uri", uri}}}, {"options", Json::object()}})) +
            closing());
    EXPECT_EQ(session.status, 0) << session.err;
    // The text formatted is the one opened.
    EXPECT_EQ(session.answer(2)["result"][0]["newText"], "        5");
    ASSERT_EQ(session.notifications("window/logMessage").size(), 1u);
    // Only didOpen's diagnostics: the change was not applied.
    EXPECT_EQ(session.notifications("textDocument/publishDiagnostics").size(), 1u);
}

// A million levels of nesting in a 2 MB message, below the size limit: the
// protocol's parse error, and the session goes on.
TEST(Protocol, DeepNestingIsAParseError) {
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    const auto body = [](const std::string& text) {
        return "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
    };
    const Session session = run(
        initialized() +
        body(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/hover","params":)" + deep + "}") +
        body(R"({"jsonrpc":"2.0","id":)" + deep + R"(,"method":"shutdown"})") +
        body(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":)" + deep + "}") +
        // Brackets inside strings do not count.
        framed(request(3, "workspace/unheardOf", {{"text", std::string(100000, '[')}})) +
        closing());
    EXPECT_EQ(session.status, 0) << session.err;
    std::vector<Json> parseErrors;
    for (const Json& message : session.messages) {
        if (message.contains("error") && message["error"]["code"] == -32700) {
            parseErrors.push_back(message);
        }
    }
    ASSERT_EQ(parseErrors.size(), 3u);
    EXPECT_EQ(parseErrors[0]["id"], nullptr);
    EXPECT_EQ(parseErrors[0]["error"]["message"], "the message nests deeper than 256 levels");
    EXPECT_EQ(session.answer(3)["error"]["code"], -32601);
}

// Runs vornls through a shell command line ("$0" is vornls) on `input`.
Session runInShell(const std::string& command, const std::string& input,
                   const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> all = {"-c", command, VORNLS_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const auto result = runProgram("/bin/sh", all, input, {60, 0});
    EXPECT_EQ(result.limitPassed, "");
    return {result.status, unframe(result.out), result.err};
}

// A length announced in the header costs nothing until its bytes arrive.
TEST(Protocol, AHugeLengthInTheHeaderIsNotAllocated) {
    const Session unlimited = run(initialized() + "Content-Length: 999999999999999999\r\n\r\n{}",
                                  {"--max-message-bytes", "1000000000000000000"});
    EXPECT_EQ(unlimited.status, 1) << unlimited.err;  // the input ended within the body
    EXPECT_EQ(unlimited.answer(1)["result"]["serverInfo"]["name"], "vornls");
    if (builtWithSanitizers()) {
        GTEST_SKIP() << "the sanitizers need more address space than the limit";
    }
    // 67 MB announced, below the default limit, under a 48 MB address space.
    const Session limited = runInShell("ulimit -v 48000 && exec \"$0\"",
                                       initialized() + "Content-Length: 67000000\r\n\r\n{}");
    EXPECT_EQ(limited.status, 1) << limited.err;
    EXPECT_EQ(limited.answer(1)["result"]["serverInfo"]["name"], "vornls");
    // 40 MB that do arrive, more than that address space holds: skipped and
    // answered, and the session goes on.
    const std::string large = "Content-Length: 40000000\r\n\r\n" + std::string(40000000, ' ');
    const Session skipped =
        runInShell("ulimit -v 48000 && exec \"$0\"", initialized() + large + closing());
    EXPECT_EQ(skipped.status, 0) << skipped.err;
    ASSERT_EQ(skipped.messages.size(), 3u);
    EXPECT_EQ(skipped.messages[1]["error"]["code"], -32700);
    EXPECT_EQ(skipped.messages[1]["error"]["message"],
              "there is not enough memory for a message of 40000000 bytes");
    EXPECT_EQ(skipped.answer(999)["result"], nullptr);
}

// Started with a standard descriptor closed, vornls neither reads nor writes
// anything else in its place.
TEST(Protocol, ClosedStandardDescriptors) {
    const Session noInput = runInShell("exec \"$0\" <&-", "");
    EXPECT_EQ(noInput.status, 1);
    EXPECT_TRUE(noInput.messages.empty());
    const Session noOutput = runInShell("exec \"$0\" >&- && echo", initialized() + closing());
    EXPECT_EQ(noOutput.status, 0) << noOutput.err;
    EXPECT_TRUE(noOutput.messages.empty());
}

TEST(Command, HelpAndVersion) {
    const auto help = runProgram(VORNLS_PATH, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vornls [OPTIONS]"), std::string::npos);
    for (const char* option : {"--stdio", "--max-message-bytes N", "--clientProcessId PID"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const auto version = runProgram(VORNLS_PATH, {"--version"});
    EXPECT_EQ(version.out, "vornls " VORN_VERSION "\n");
}

// Bad usage ends with one error line and status 1, as with every command.
TEST(Command, BadUsage) {
    struct Case {
        std::vector<std::string> arguments;
        const char* err;
    };
    const Case cases[] = {
        {{"--tcp"}, "Error: unknown option '--tcp' (vornls --help lists the options).\n"},
        {{"--max-message-bytes", "-1"},
         "Error: --max-message-bytes: '-1' is not a number of bytes (vornls --help lists the "
         "options).\n"},
        {{"--max-message-bytes"},
         "Error: --max-message-bytes needs a value (vornls --help lists the options).\n"},
        {{"extra"}, "Error: unexpected argument 'extra' (vornls --help lists the options).\n"},
    };
    for (const Case& c : cases) {
        const auto result = runProgram(VORNLS_PATH, c.arguments);
        EXPECT_EQ(result.status, 1) << c.err;
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
    }
}

// What editors pass: the server starts and answers, and ends with its input.
TEST(Command, TakesTheOptionsEditorsPass) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--stdio"},
                                                      {"--clientProcessId=4242", "--stdio"},
                                                      {"--clientProcessId", "4242"},
                                                      {"--max-message-bytes=100000"}}) {
        const Session session = run(initialized(), arguments);
        EXPECT_EQ(session.err, "");
        ASSERT_FALSE(session.messages.empty());
        EXPECT_TRUE(session.messages.front().contains("result"));
    }
}

}  // namespace
