// The debug adapter: the Debug Adapter Protocol over the debugging core. It
// takes the client's messages one at a time and sends its answers and events
// through a callback; it reads no file and no stream itself (the front end
// hands it a way to load a program and to open an input file), so that the
// command (vorndbg --dap), a test, a benchmark and a fuzz target drive the
// same adapter.
//
// A `continue` or `reverseContinue` is answered at once and then runs in
// `proceed`, which the owner calls while `running()`: the session stops when
// the interrupt flag rises (a message arrived), the owner hands the adapter
// the messages, and calls `proceed` again to go on, unless one of them was a
// `pause`. A step runs within its request.
//
// Memory references name word addresses ("0x0008"); the protocol's offsets
// and byte counts count bytes, four to a word, most significant first.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "debug/Commands.h"
#include "debug/Session.h"
#include "protocol/Message.h"

namespace Vorn::Dap {

using Json = Protocol::Json;

// What the adapter needs from outside: files. Each throws std::runtime_error
// with the message to show when it cannot.
struct Environment {
    // The program of a launch: a source, or with `image` a memory image.
    std::function<Program(const std::string& path, bool image)> loadProgram;
    // The numbers of an input file, one at a time.
    std::function<std::function<InputResult()>(const std::string& path)> openInput;
    // Called with true before a command of the debug console runs, false
    // after: a message that arrives meanwhile should raise the interrupt
    // flag (a console "continue" is stopped by pause). May be empty.
    std::function<void(bool)> watchMessages;
};

class Adapter {
  public:
    using Send = std::function<void(const Json&)>;

    // `interrupt` (may be null) is the flag that stops a run; the owner
    // raises it when a message arrives during `proceed`.
    Adapter(Environment environment, Send send, const std::atomic<bool>* interrupt = nullptr);
    ~Adapter();
    Adapter(const Adapter&) = delete;
    Adapter& operator=(const Adapter&) = delete;

    // One message's body (JSON text), or a message the reader could not frame.
    void handleBody(std::string_view body);
    void handle(const Json& message);
    void frameError(const std::string& problem);

    // A continue or reverse-continue is under way: call proceed.
    bool running() const { return motion_ != Motion::None; }
    // Runs at most `steps` instructions forward (all of a reverse-continue);
    // sends the stop's events when it ends.
    void proceed(std::uint64_t steps = Debug::Session::unlimited);
    // After disconnect: the owner stops.
    bool finished() const { return finished_; }
    // The exit status: 0 after disconnect, 1 when the client went away first.
    int exitStatus() const { return disconnected_ ? 0 : 1; }

    // Breakpoints of every kind the client set, by the ids it was given.
    struct Breakpoint;
    struct Launch;

  private:
    enum class Motion : std::uint8_t { None, Forward, Backward };

    Json request(const std::string& command, const Json& arguments, std::vector<Json>& after);
    void respond(const Json& request, bool success, Json body, const std::string& message);
    Json event(const std::string& name, Json body = nullptr);
    void sendEvent(const std::string& name, Json body = nullptr);
    void send(Json message);
    void flushOutput();

    // The requests.
    Json initialize(const Json& arguments);
    Json launch(const Json& arguments, std::vector<Json>& after);
    Json configurationDone(std::vector<Json>& after);
    Json setBreakpoints(const Json& arguments);
    Json setFunctionBreakpoints(const Json& arguments);
    Json setInstructionBreakpoints(const Json& arguments);
    Json dataBreakpointInfo(const Json& arguments);
    Json setDataBreakpoints(const Json& arguments);
    Json stackTrace(const Json& arguments);
    Json scopes(const Json& arguments);
    Json variables(const Json& arguments);
    Json setVariable(const Json& arguments, std::vector<Json>& after);
    Json evaluate(const Json& arguments, std::vector<Json>& after);
    Json readMemory(const Json& arguments);
    Json writeMemory(const Json& arguments, std::vector<Json>& after);
    Json disassemble(const Json& arguments);
    Json gotoTargets(const Json& arguments);
    Json gotoLine(const Json& arguments, std::vector<Json>& after);
    Json exceptionInfo();
    Json loadedSources();
    Json step(const std::string& command, std::vector<Json>& after);

    // The session and its points.
    Debug::Session& session();
    void start(const Launch& launch);
    void startRunning(std::vector<Json>& after);
    void syncPoints();
    std::optional<std::uint16_t> lineAddress(std::int32_t line, std::int32_t& movedTo,
                                             std::string& problem) const;
    Json breakpointJson(const Breakpoint& breakpoint) const;
    Breakpoint* breakpointWithId(int id);
    const Breakpoint* breakpointOfPoint(int number);
    std::uint64_t hitsOf(const Breakpoint& breakpoint) const;
    void arm(int number, const Breakpoint& breakpoint);
    void armStopped(const Debug::Stop& stop);
    Json replaceBreakpoints(int kind, const Json& list,
                            const std::function<void(const Json&, Breakpoint&)>& fill);
    Json sourceJson() const;
    std::int32_t clientLine(std::int32_t line) const;
    std::int32_t adapterLine(std::int64_t line) const;

    // Stops: the events for one, and the breakpoints whose hit condition
    // lets them stop there.
    void report(const Debug::Stop& stop, std::vector<Json>& out);
    std::vector<int> stoppingIds(const Debug::Stop& stop);
    std::string stopText(const Debug::Stop& stop, const std::vector<int>& hitIds,
                         std::string& description);

    // The terminal debugger's commands, for the debug console.
    std::string runCommand(std::string_view line, std::string& errors);
    std::string wordText(Word word, bool instruction) const;

    Environment environment_;
    Send send_;
    const std::atomic<bool>* interrupt_;
    std::int64_t seq_ = 1;
    std::string output_;  // the program's output not sent yet

    bool initialized_ = false;
    bool configured_ = false;
    bool started_ = false;
    bool finished_ = false;
    bool disconnected_ = false;
    bool linesStartAt1_ = true;
    bool invalidatedEvents_ = false;
    bool memoryEvents_ = false;

    std::unique_ptr<Launch> launch_;
    std::unique_ptr<Debug::Session> session_;
    std::ostringstream commandOut_;
    std::ostringstream commandErrors_;
    std::unique_ptr<Debug::CommandInterpreter> commands_;
    Motion motion_ = Motion::None;
    std::optional<Debug::Stop> lastFault_;
    std::vector<Word> instructionWords_;    // sorted: the program's instruction cells
    std::vector<std::int32_t> lineStarts_;  // by line: its first instruction's address, or -1

    std::vector<Breakpoint> breakpoints_;
    int nextBreakpointId_ = 1;
    std::map<int, int> pointIds_;  // the session's point number -> breakpoint id
};

}  // namespace Vorn::Dap
