// The debugger's commands, as gdb users know them, over one Session: parses a
// line, runs it and writes what it has to say. No terminal code: the command
// line (vorndbg) and a web page give it a line at a time and show what it
// writes; completion candidates come from here too.
//
//   CommandInterpreter commands(session, std::cout, std::cerr);
//   commands.execute("break loop");    // "Breakpoint 1 at address 3, line 4."
//   commands.execute("continue");      // "Breakpoint 1; $step = 3, $pc = 3, line 4: ..."
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debug/Session.h"

namespace Vorn::Debug {

class CommandInterpreter {
  public:
    // Results and stops go to `out`, a command's error (one line) to `errors`.
    CommandInterpreter(Session& session, std::ostream& out, std::ostream& errors);

    enum class Result : std::uint8_t { Continue, Quit };
    // Runs one line; an empty line repeats the last step, reverse-step, until, x
    // or list.
    Result execute(std::string_view line);

    // The words that can stand where `word` ends `line` (the line up to and
    // including the word): command names first, then the names of the
    // program and the registers.
    std::vector<std::string> completions(std::string_view line) const;

    // Writes the stop's line (and for a step the trace's line of what the
    // last instruction changed), then the displays.
    void writeStop(const Stop& stop, bool showStep);

    // What "run < FILE" reads: the front end opens the file and gives the
    // numbers for read; it throws std::runtime_error with one line when it
    // cannot. Without it, "run < FILE" is refused.
    using InputOpener = std::function<std::function<InputResult()>(const std::string& path)>;
    void openInputWith(InputOpener opener) { openInput_ = std::move(opener); }

    struct Command;
    static constexpr std::size_t commandCount = 25;

  private:
    static const std::array<Command, commandCount>& table();
    static const Command* findCommand(std::string_view word, std::string& problem);
    void dispatch(const Command& command, std::string_view arguments);
    void error(const std::string& message);

    // The commands.
    void doAdvance(std::string_view arguments);
    void doBreak(std::string_view arguments);
    void doCondition(std::string_view arguments);
    void doDisable(std::string_view arguments);
    void doDisplay(std::string_view arguments);
    void doEnable(std::string_view arguments);
    void doIgnore(std::string_view arguments);
    void doTbreak(std::string_view arguments);
    void doUndisplay(std::string_view arguments);
    void doUntil(std::string_view arguments);
    void doContinue(std::string_view arguments);
    void doDelete(std::string_view arguments);
    void doHelp(std::string_view arguments);
    void doInfo(std::string_view arguments);
    void doInput(std::string_view arguments);
    void doList(std::string_view arguments);
    void doPrint(std::string_view arguments);
    void doQuit(std::string_view arguments);
    void doReverseContinue(std::string_view arguments);
    void doReverseStep(std::string_view arguments);
    void doRun(std::string_view arguments);
    void doSet(std::string_view arguments);
    void doStep(std::string_view arguments);
    void doWatch(std::string_view arguments);
    void doExamine(std::string_view arguments);

    void setBreakpoint(std::string_view arguments, bool temporary);
    void setEnabled(std::string_view arguments, bool enabled);
    Expression parse(std::string_view text,
                     Expression::Reading reading = Expression::Reading::Value) const;
    std::int64_t valueOf(std::string_view text) const;
    std::uint64_t countOf(std::string_view text) const;
    std::uint16_t locationOf(std::string_view text) const;
    std::string valueLine(const Expression& expression, char format) const;
    void writeDisplays();
    void writeOriginOf(std::string_view arguments);
    void writeRegisters();
    void writeBreakpoints(bool watchpointsOnly);
    void writeLines(std::int32_t first, std::int32_t last, std::int32_t current);
    void forgetListed() { listedFirst_ = listedLast_ = 0; }

    Session& session_;
    std::ostream& out_;
    std::ostream& errors_;
    bool quit_ = false;
    bool traceCommands_ = false;
    // What an empty line repeats, and where a repeated x goes on.
    std::string repeat_;
    std::uint32_t nextExamine_ = 0;
    std::uint32_t examineCount_ = 1;
    char examineFormat_ = 0;  // 0: the word in every form
    bool repeatingExamine_ = false;
    // The format after the command's "/" ("8x" in "x/8x"), empty without one.
    std::string format_;
    // What display shows at every stop.
    struct Display {
        int number;
        char format;
        std::shared_ptr<const Expression> expression;
    };
    std::vector<Display> displays_;
    int nextDisplay_ = 1;
    InputOpener openInput_;
    // The lines list showed last since the program last stopped, or 0.
    std::int32_t listedFirst_ = 0;
    std::int32_t listedLast_ = 0;
};

}  // namespace Vorn::Debug
