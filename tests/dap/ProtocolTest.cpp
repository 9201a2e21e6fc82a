// vorndbg --dap on what a careless or hostile client sends: bad frames, bodies
// that are not JSON, wrong types, unknown commands, requests out of order.
// Each gets the protocol's error answer (or a line in the debug console, for
// a message that names no request to answer), never a crash or a hang; the
// real binary, its streams and its exit status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/Framing.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

using Json = nlohmann::json;

const std::string program = std::string(TESTS_DIR) + "/dap/evens.vorn";

Json request(int seq, const std::string& command, Json arguments = Json::object()) {
    return {{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
}

std::string initialized() {
    return framed(request(1, "initialize", {{"adapterID", "vorn"}}));
}

std::string launched(const Json& arguments = {{"program", program}, {"input", {4}}}) {
    return initialized() + framed(request(2, "launch", arguments));
}

std::string disconnect() {
    return framed(request(99, "disconnect"));
}

struct Exchange {
    int status = -1;
    std::vector<Json> messages;
    std::string err;

    // The answer to request `seq`.
    Json answer(int seq) const {
        for (const Json& message : messages) {
            if (message.value("type", "") == "response" &&
                message.value("request_seq", -1) == seq) {
                return message;
            }
        }
        ADD_FAILURE() << "no answer to request " << seq;
        return {};
    }
    // What the debug console was told.
    std::string console() const {
        std::string text;
        for (const Json& message : messages) {
            if (message.value("event", "") == "output") {
                text += message["body"].value("output", "");
            }
        }
        return text;
    }
};

Exchange run(const std::string& input) {
    const ProgramResult result = runProgram(VORNDBG_PATH, {"--dap"}, input, {30, 0});
    EXPECT_EQ(result.limitPassed, "");
    return {result.status, unframe(result.out), result.err};
}

struct Hostile {
    const char* name;
    std::string input;
    int seq;              // the request whose answer is checked, or 0
    std::string failure;  // its error message, or empty when it succeeds
    std::string console;  // a line the debug console gets, or empty
    int status;
};

class HostileInput : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileInput, GetsTheProtocolsAnswerOrACleanExit) {
    const Hostile& c = GetParam();
    const Exchange result = run(c.input);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.err, "");
    if (c.seq != 0) {
        const Json answer = result.answer(c.seq);
        EXPECT_EQ(answer.value("success", true), c.failure.empty()) << answer;
        EXPECT_EQ(answer.value("message", ""), c.failure) << answer;
    }
    if (!c.console.empty()) {
        EXPECT_NE(result.console().find(c.console), std::string::npos) << result.console();
    }
    // Every message is numbered in the order sent.
    for (std::size_t i = 0; i < result.messages.size(); ++i) {
        EXPECT_EQ(result.messages[i].value("seq", 0), static_cast<int>(i) + 1);
    }
}

const std::string deep = std::string(100000, '[') + std::string(100000, ']');

INSTANTIATE_TEST_SUITE_P(
    Dap, HostileInput,
    ::testing::Values(
        Hostile{"HeaderWithoutLength", "Content-Type: x\r\n\r\n" + initialized() + disconnect(), 1,
                "", "dropped: the header has no Content-Length", 0},
        Hostile{"LengthNotANumber", "Content-Length: -5\r\n\r\n" + initialized() + disconnect(), 1,
                "", "dropped: the Content-Length is not a number", 0},
        Hostile{"BodyNotJson",
                initialized() + "Content-Length: 9\r\n\r\n{\"seq\": 1" + disconnect(), 99, "",
                "dropped: the message is not JSON", 0},
        Hostile{"BodyNotAnObject", initialized() + "Content-Length: 2\r\n\r\n[]" + disconnect(), 99,
                "", "dropped: a message is a JSON object", 0},
        Hostile{"DeepNesting",
                initialized() + "Content-Length: " + std::to_string(deep.size() + 2) + "\r\n\r\n[" +
                    deep + "]" + disconnect(),
                99, "", "dropped: the message nests deeper than 256 levels", 0},
        Hostile{"TypeUnknown",
                initialized() + framed({{"seq", 2}, {"type", "gossip"}}) + disconnect(), 99, "",
                "dropped: a message's type is request, response or event", 0},
        Hostile{"CommandNotAString",
                initialized() + framed({{"seq", 2}, {"type", "request"}, {"command", 5}}) +
                    disconnect(),
                2, "A request's command is a string.", "", 0},
        Hostile{"SeqNotANumber",
                initialized() +
                    framed({{"seq", "2"}, {"type", "request"}, {"command", "threads"}}) +
                    disconnect(),
                0, "", "", 0},
        Hostile{
            "SeqMissing",
            initialized() + framed({{"type", "request"}, {"command", "threads"}}) + disconnect(), 0,
            "", "", 0},
        Hostile{"ArgumentsNotAnObject",
                initialized() +
                    framed({{"seq", 2},
                            {"type", "request"},
                            {"command", "launch"},
                            {"arguments", {1, 2}}}) +
                    disconnect(),
                2, "The arguments of a request are an object.", "", 0},
        Hostile{"ArgumentOfTheWrongType",
                initialized() + framed(request(2, "launch", {{"program", 5}})) + disconnect(), 2,
                "The argument 'program' is not a string.", "", 0},
        Hostile{
            "InputNotNumbers",
            initialized() + framed(request(2, "launch", {{"program", program}, {"input", {"x"}}})) +
                disconnect(),
            2, "The input holds \"x\": read takes whole numbers from -2147483648 to 2147483647.",
            "", 0},
        Hostile{"ProgramMissing",
                initialized() + framed(request(2, "launch", {{"program", "/nonexistent.vorn"}})) +
                    disconnect(),
                2, "cannot read source file '/nonexistent.vorn'.", "", 0},
        Hostile{"UnknownCommand", launched() + framed(request(3, "unheardOf")) + disconnect(), 3,
                "Unknown request 'unheardOf'.", "", 0},
        Hostile{"RequestBeforeInitialize", framed(request(1, "threads")) + disconnect(), 1,
                "The adapter is not initialized: the first request is initialize.", "", 0},
        Hostile{"InitializeTwice", initialized() + framed(request(2, "initialize")) + disconnect(),
                2, "The adapter is already initialized.", "", 0},
        Hostile{"RequestBeforeLaunch", initialized() + framed(request(2, "next")) + disconnect(), 2,
                "No program is running: launch one first.", "", 0},
        Hostile{"StepBackWithoutHistory",
                launched(
                    {{"program", program}, {"input", {4}}, {"history", 0}, {"stopOnEntry", true}}) +
                    framed(request(3, "configurationDone")) +
                    framed(request(4, "stepBack", {{"threadId", 1}})) + disconnect(),
                4, "No history to go back in: the session runs with history 0.", "", 0},
        Hostile{
            "MemoryOutOfRange",
            launched() +
                framed(request(3, "readMemory", {{"memoryReference", "0x10000"}, {"count", 4}})) +
                disconnect(),
            3, "The memory reference '0x10000' is not an address from 0 to 65535.", "", 0},
        Hostile{"MemoryOffsetInsideAWord",
                launched() +
                    framed(request(3, "readMemory",
                                   {{"memoryReference", "0"}, {"offset", 2}, {"count", 4}})) +
                    disconnect(),
                3,
                "The offset 2 is not a multiple of 4: memory is read and written in words of 4 "
                "bytes.",
                "", 0},
        Hostile{"BreakpointNotAnObject",
                launched() +
                    framed(request(3, "setBreakpoints",
                                   {{"source", {{"path", program}}}, {"breakpoints", {7}}})) +
                    disconnect(),
                3, "A breakpoint is an object.", "", 0},
        Hostile{"RequestAfterDisconnect",
                initialized() + disconnect() + framed(request(100, "threads")), 99, "", "", 0},
        Hostile{"InputClosedWithoutDisconnect", launched(), 2, "", "", 1},
        Hostile{"InputClosedWithinABody", initialized() + "Content-Length: 100\r\n\r\n{\"seq\"", 1,
                "", "", 1},
        Hostile{"HugeLength", initialized() + "Content-Length: 999999999999999999\r\n\r\n{}", 1, "",
                "", 1},
        Hostile{"InputClosedAtOnce", "", 0, "", "", 1}),
    [](const auto& param) { return std::string(param.param.name); });

// Conditions, hit counts and Watch expressions a client should not send:
// read by the debugger's own expressions, each answered with the evaluator's
// sentence (the breakpoint unverified) or the request's error.
struct Unreadable {
    const char* name;
    std::string command;  // setBreakpoints, setFunctionBreakpoints or evaluate
    Json item;            // the breakpoint, or evaluate's arguments
    std::string failure;  // the request's error, or empty
    std::string message;  // the end of the breakpoint's message, or empty: verified
};

class UnreadableCondition : public ::testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableCondition, IsAnsweredNeverRun) {
    const Unreadable& c = GetParam();
    const Json arguments = c.command == "setBreakpoints"
                               ? Json{{"source", {{"path", program}}}, {"breakpoints", {c.item}}}
                           : c.command == "evaluate" ? c.item
                                                     : Json{{"breakpoints", {c.item}}};
    const Exchange result = run(launched() + framed(request(3, c.command, arguments)) +
                                framed(request(4, "threads")) + disconnect());
    EXPECT_EQ(result.status, 0) << result.err;
    const Json answer = result.answer(3);
    EXPECT_EQ(answer.value("message", ""), c.failure) << answer;
    EXPECT_EQ(result.answer(4).value("success", false), true);
    if (!c.failure.empty() || c.command == "evaluate") {
        return;
    }
    const Json breakpoint = answer["body"]["breakpoints"].at(0);
    EXPECT_EQ(breakpoint.value("verified", true), c.message.empty()) << breakpoint;
    EXPECT_TRUE(breakpoint.value("message", "").ends_with(c.message)) << breakpoint;
}

std::string repeated(const std::string& part, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += part;
    }
    return text;
}

const Json atWrite = {{"line", 7}};

Json with(Json item, const char* key, Json value) {
    item[key] = std::move(value);
    return item;
}

Json watch(Json expression) {
    return {{"expression", std::move(expression)}, {"context", "watch"}};
}

INSTANTIATE_TEST_SUITE_P(
    Dap, UnreadableCondition,
    ::testing::Values(
        Unreadable{
            "DeepParentheses", "setBreakpoints",
            with(atWrite, "condition", std::string(100000, '(') + "O" + std::string(100000, ')')),
            "", "it is nested more than 100 deep."},
        Unreadable{"DeepMemory", "setFunctionBreakpoints",
                   with({{"name", "loop"}}, "condition",
                        std::string(50000, '[') + "8" + std::string(50000, ']')),
                   "", "it is nested more than 100 deep."},
        Unreadable{"LongNegation", "setBreakpoints",
                   with(atWrite, "condition", repeated("- ", 200000) + "1"), "",
                   "it is nested more than 100 deep."},
        Unreadable{"ManyParts", "setBreakpoints",
                   with(atWrite, "condition", "O" + repeated(" + O", 200000)), "",
                   "it has more than 1000 parts."},
        Unreadable{"ALongRunOfSpaces", "setBreakpoints",
                   with(atWrite, "condition", std::string(500000, ' ') + "O == 2"), "", ""},
        Unreadable{"OnlySpaces", "setBreakpoints", with(atWrite, "condition", "  	 "), "",
                   ""},
        Unreadable{"ACommandAfterIt", "setBreakpoints", with(atWrite, "condition", "O == 2; kill"),
                   "", "\"; kill\" is left over."},
        Unreadable{"ALineAfterIt", "setBreakpoints", with(atWrite, "condition", "O == 2\nkill"), "",
                   "Cannot read the expression \"O == 2\\nkill\": \"\\nkill\" is left over."},
        Unreadable{"ANulByte", "setBreakpoints",
                   with(atWrite, "condition", std::string("O\0== 2", 6)), "",
                   "Cannot read the expression \"O\\x00== 2\": \"\\x00== 2\" is left over."},
        Unreadable{"UnknownName", "setBreakpoints", with(atWrite, "condition", "cuont == 0"), "",
                   "No symbol \"cuont\" in the program; did you mean \"count\"?"},
        Unreadable{"ConditionNotAString", "setBreakpoints", with(atWrite, "condition", 5),
                   "The argument 'condition' is not a string.", ""},
        Unreadable{"ConditionAList", "setBreakpoints",
                   with(atWrite, "condition", Json::array({"O", "==", 2})),
                   "The argument 'condition' is not a string.", ""},
        Unreadable{"HitConditionNotAString", "setBreakpoints",
                   with(atWrite, "hitCondition", Json::object()),
                   "The argument 'hitCondition' is not a string.", ""},
        Unreadable{"HitCountPastAnyCount", "setBreakpoints",
                   with(atWrite, "hitCondition", std::string(400, '9')), "",
                   "is not N, >= N, > N, == N or % N."},
        Unreadable{"HitCountNegative", "setBreakpoints", with(atWrite, "hitCondition", ">= -1"), "",
                   "is not N, >= N, > N, == N or % N."},
        Unreadable{"HitCountAnExpression", "setBreakpoints", with(atWrite, "hitCondition", "O + 1"),
                   "", "is not N, >= N, > N, == N or % N."},
        Unreadable{"WatchDeep", "evaluate",
                   watch(std::string(100000, '(') + "1" + std::string(100000, ')')),
                   "Cannot read the expression \"" + std::string(57, '(') +
                       "...\": it is nested more than 100 deep.",
                   ""},
        Unreadable{"WatchNotAString", "evaluate", watch(7),
                   "The argument 'expression' is not a string.", ""},
        Unreadable{"WatchACommand", "evaluate", watch("O; kill"), "Not an expression: 'O; kill'.",
                   ""},
        Unreadable{"WatchFormatNotAnObject", "evaluate", with(watch("O"), "format", "hex"),
                   "The argument 'format' is not an object.", ""},
        Unreadable{"WatchHexNotAFlag", "evaluate", with(watch("O"), "format", {{"hex", "yes"}}),
                   "The argument 'hex' is not true or false.", ""}),
    [](const auto& param) { return std::string(param.param.name); });

// After a disconnect nothing more is read, and nothing is written.
TEST(Dap, NothingAfterDisconnect) {
    const Exchange result = run(initialized() + disconnect() + framed(request(100, "threads")));
    EXPECT_EQ(result.status, 0);
    ASSERT_EQ(result.messages.size(), 2u);
    EXPECT_EQ(result.messages.back().value("command", ""), "disconnect");
}

// A source with an assembly error: vornasm's message, as the launch's error.
TEST(Dap, AnAssemblyErrorFailsTheLaunch) {
    TemporaryDirectory dir;
    writeFile(dir.file("bad.vorn"), "        lod A x\n");
    const Exchange result =
        run(initialized() + framed(request(2, "launch", {{"program", dir.file("bad.vorn")}})) +
            disconnect());
    const Json answer = result.answer(2);
    EXPECT_FALSE(answer.value("success", true));
    EXPECT_EQ(answer.value("message", ""),
              "(line 1, token identifier('A')) expecting end-of-line or end-of-file.");
}

// With its output closed the adapter stops at its first answer, status 1,
// and with its input closed it ends at once.
TEST(Dap, ClosedStandardStreams) {
    const std::string input = launched() + framed(request(3, "configurationDone")) + disconnect();
    const ProgramResult noOutput =
        runProgram("/bin/sh", {"-c", "exec \"$0\" --dap >&-", VORNDBG_PATH}, input, {30, 0});
    EXPECT_EQ(noOutput.status, 1);
    const ProgramResult noInput =
        runProgram("/bin/sh", {"-c", "exec \"$0\" --dap <&-", VORNDBG_PATH}, "", {30, 0});
    EXPECT_EQ(noInput.status, 1);
    EXPECT_EQ(noInput.out, "");
}

TEST(Dap, TheCommandLine) {
    const ProgramResult withFile = runProgram(VORNDBG_PATH, {"--dap", program});
    EXPECT_EQ(withFile.status, 1);
    EXPECT_EQ(withFile.err,
              "Error: --dap takes no FILE: the editor's launch request names the program "
              "(vorndbg --help lists the options).\n");
    const ProgramResult help = runProgram(VORNDBG_PATH, {"--help"});
    EXPECT_NE(help.out.find("--dap"), std::string::npos);
}

}  // namespace
}  // namespace Vorn::Testing
