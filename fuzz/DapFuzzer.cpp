// Fuzz target: the debug adapter's two doors. The bytes are read as the
// client's message stream through the shared message reader (framing, JSON,
// requests), and as a sequence of requests, each chosen and filled in by the
// next bytes, over a small program: breakpoints of every kind, steps both
// ways, runs bounded in steps and then paused, memory read and written, the
// console's commands. Every input must end with answers, never a crash, a
// hang or an exception; every request gets exactly one answer, and messages
// are numbered in the order sent.
#include <array>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "dap/Adapter.h"
#include "fuzz/Require.h"
#include "protocol/MessageReader.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn;
using Dap::Json;

// A loop that writes, a read, a data word, a fault within reach.
const char* const source =
    "; a small program for the fuzzer\n"
    "        read\n"
    "        store I count\n"
    ":loop   load O count\n"
    "        jz O done\n"
    "        write\n"
    "        decr O\n"
    "        store O count\n"
    "        jump loop\n"
    ":done   loadi A B\n"
    "        jump end\n"
    "= limit 3\n"
    ":count  0\n";

// Holds the adapter and checks what it sends.
class Harness {
  public:
    Harness() : adapter_(environment(), [this](const Json& message) { check(message); }) {}

    void deliver(const Json& message) {
        const std::size_t before = answers_;
        adapter_.handle(message);
        if (message.is_object() && message.value("type", Json()) == "request" &&
            message.value("seq", Json()).is_number_integer()) {
            require(answers_ == before + 1, "every request gets exactly one answer");
        }
        settle();
    }

    void deliverBody(const std::string& body) {
        adapter_.handleBody(body);
        settle();
    }

    bool finished() const { return adapter_.finished(); }

  private:
    static Dap::Environment environment() {
        Dap::Environment environment;
        environment.loadProgram = [](const std::string&, bool image) {
            Program program = Program::fromSource(source);
            return image ? Program::fromImage(program.words()) : program;
        };
        environment.openInput = [](const std::string&) {
            return [n = 0]() mutable {
                return ++n <= 3 ? InputResult{InputResult::Kind::Number, n} : InputResult{};
            };
        };
        return environment;
    }

    void check(const Json& message) {
        require(message.is_object(), "every message is an object");
        require(message.value("seq", Json()) == seq_++, "messages are numbered in order");
        if (message.value("type", Json()) == "response") {
            ++answers_;
        }
        (void)Protocol::bodyOf(message);
    }

    // A run goes a bounded number of steps, then is paused as a client would.
    void settle() {
        for (int rounds = 0; adapter_.running() && rounds < 4; ++rounds) {
            adapter_.proceed(5000);
        }
        if (adapter_.running()) {
            adapter_.handle({{"seq", 1000000}, {"type", "request"}, {"command", "pause"}});
            require(!adapter_.running(), "pause stops a run");
        }
    }

    Dap::Adapter adapter_;
    std::int64_t seq_ = 1;
    std::size_t answers_ = 0;
};

// The requests a sequence is made of; the bytes after a choice fill it in.
class Requests {
  public:
    explicit Requests(const std::string& bytes) : bytes_(bytes) {}

    bool done() const { return at_ >= bytes_.size(); }

    Json next(int seq) {
        static const std::array<const char*, 24> commands{"launch",
                                                          "configurationDone",
                                                          "setBreakpoints",
                                                          "setFunctionBreakpoints",
                                                          "setInstructionBreakpoints",
                                                          "dataBreakpointInfo",
                                                          "setDataBreakpoints",
                                                          "continue",
                                                          "next",
                                                          "stepBack",
                                                          "reverseContinue",
                                                          "pause",
                                                          "stackTrace",
                                                          "scopes",
                                                          "variables",
                                                          "setVariable",
                                                          "evaluate",
                                                          "readMemory",
                                                          "writeMemory",
                                                          "disassemble",
                                                          "gotoTargets",
                                                          "goto",
                                                          "restart",
                                                          "exceptionInfo"};
        const std::string command = commands[byte() % commands.size()];
        Json arguments{{"threadId", 1}, {"frameId", 1}};
        if (command == "launch" || command == "restart") {
            Json launch{{"program", "/fuzz.vorn"},
                        {"image", byte() % 5 == 0},
                        {"stopOnEntry", byte() % 2 == 0},
                        {"history", number() % 50}};
            if (byte() % 2 == 0) {
                launch["input"] = {number(), number()};
            } else {
                launch["inputFile"] = "/input";
            }
            arguments = command == "launch" ? launch : Json{{"arguments", launch}};
        } else if (command == "setBreakpoints") {
            arguments["source"] = {{"path", "/fuzz.vorn"}};
            arguments["breakpoints"] = {{{"line", number() % 16},
                                         {"hitCondition", hitCondition()},
                                         {"condition", condition()}}};
        } else if (command == "setFunctionBreakpoints") {
            arguments["breakpoints"] = {{{"name", name()}, {"condition", condition()}}};
        } else if (command == "setInstructionBreakpoints") {
            arguments["breakpoints"] = {{{"instructionReference", reference()},
                                         {"offset", 4 * (number() % 4)},
                                         {"condition", condition()}}};
        } else if (command == "dataBreakpointInfo") {
            arguments["name"] = name();
            arguments["variablesReference"] = byte() % 4;
        } else if (command == "setDataBreakpoints") {
            const char* ids[] = {"word:11", "register:A", "register:O", "word:70000", "x"};
            arguments["breakpoints"] = {{{"dataId", ids[byte() % 5]},
                                         {"accessType", byte() % 4 == 0 ? "read" : "write"},
                                         {"hitCondition", hitCondition()},
                                         {"condition", condition()}}};
        } else if (command == "variables" || command == "setVariable") {
            arguments["variablesReference"] = byte() % 4;
            arguments["name"] = name();
            arguments["value"] = std::to_string(number());
        } else if (command == "evaluate") {
            // No console continue or run: the program may have been rewritten
            // into an endless loop, and only the requests' runs are bounded here.
            const char* lines[] = {"p A",         "x 0 12", "info registers", "watch count",
                                   "step 3",      "rc",     "input 7 8",      "reverse-step 2",
                                   "set $pc = 8", "delete", "info history",   "list"};
            arguments["expression"] = byte() % 3 == 0 ? name() : lines[byte() % 12];
            const char* contexts[] = {"repl", "watch", "hover"};
            arguments["context"] = contexts[byte() % 3];
            arguments["format"] = {{"hex", byte() % 2 == 0}};
        } else if (command == "readMemory" || command == "writeMemory" ||
                   command == "disassemble") {
            arguments["memoryReference"] = reference();
            arguments["offset"] = 4 * (static_cast<std::int64_t>(number() % 8) - 4);
            arguments["count"] = number() % 64;
            arguments["instructionOffset"] = static_cast<std::int64_t>(number() % 16) - 8;
            arguments["instructionCount"] = number() % 32;
            arguments["data"] = byte() % 2 == 0 ? "AAAAAQ==" : "AAE=";
            arguments["allowPartial"] = byte() % 2 == 0;
        } else if (command == "gotoTargets" || command == "goto") {
            arguments["source"] = {{"path", "/fuzz.vorn"}};
            arguments["line"] = number() % 16;
            arguments["targetId"] = number() % 16;
        }
        return {{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
    }

  private:
    unsigned byte() { return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : 0U; }
    int number() { return static_cast<int>(byte() | (byte() << 8U)); }
    std::string name() {
        const char* names[] = {"A",   "O",     "count",   "loop", "limit",
                               "$pc", "$step", "[count]", "*3",   "nope"};
        return names[byte() % 10];
    }
    std::string reference() {
        return byte() % 2 == 0 ? "0x" + std::to_string(number() % 10000) : std::to_string(number());
    }
    std::string hitCondition() {
        const char* conditions[] = {"", "2", ">= 3", "% 2", "== 1", "> 0", "x"};
        return conditions[byte() % 7];
    }

    // Conditions that hold, that do not, that do not read, and that fail
    // where they are tested (O holds no address field).
    std::string condition() {
        const char* conditions[] = {"",     "O == 2",   "[count] > 1", "A == 0 || $step > 9",
                                    "O ==", "nope > 1", "[O] == 1",    "!(&loop == $pc)"};
        return conditions[byte() % 8];
    }

    const std::string& bytes_;
    std::size_t at_ = 0;
};

void readMessages(const std::string& bytes) {
    std::istringstream in(bytes);
    Protocol::MessageReader reader(in, 1 << 16);
    Harness harness;
    harness.deliver(
        {{"seq", 1}, {"type", "request"}, {"command", "initialize"}, {"arguments", {}}});
    for (int messages = 0; messages < 64 && !harness.finished(); ++messages) {
        const Protocol::ReadResult read = reader.read();
        if (read.status == Protocol::ReadResult::Status::EndOfInput) {
            break;
        }
        if (read.status == Protocol::ReadResult::Status::Message) {
            harness.deliverBody(read.body);
        }
    }
}

void requestSequence(const std::string& bytes) {
    Harness harness;
    harness.deliver(
        {{"seq", 1}, {"type", "request"}, {"command", "initialize"}, {"arguments", {}}});
    Requests requests(bytes);
    for (int seq = 2; seq < 66 && !requests.done() && !harness.finished(); ++seq) {
        harness.deliver(requests.next(seq));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    readMessages(bytes);
    requestSequence(bytes);
    return 0;
}
