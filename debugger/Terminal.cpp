#include "debugger/Terminal.h"

#include <editline/readline.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Vorn::Debugger {

namespace {

std::atomic<bool> interrupted{false};
const Debug::CommandInterpreter* completer = nullptr;
std::vector<std::string> candidates;

void onInterrupt(int) {
    interrupted.store(true);
}

char* nextCandidate(const char*, int state) {
    static std::size_t next = 0;
    if (state == 0) {
        next = 0;
    }
    if (next >= candidates.size()) {
        return nullptr;
    }
    return strdup(candidates[next++].c_str());
}

char** complete(const char* text, int start, int end) {
    rl_attempted_completion_over = 1;
    if (completer == nullptr) {
        return nullptr;
    }
    static_cast<void>(start);
    candidates = completer->completions(std::string(rl_line_buffer, static_cast<std::size_t>(end)));
    return rl_completion_matches(text, nextCandidate);
}

// `command`: a line at the prompt, kept in the history.
std::optional<std::string> readWithPrompt(const char* prompt, bool command) {
    if (command) {
        interrupted.store(false);
    }
    char* line = readline(prompt);
    if (line == nullptr) {
        if (!interrupted.load()) {
            return std::nullopt;
        }
        // At the prompt Ctrl-C only drops the line; asked for a number, it
        // also stops the command (the flag stays up).
        if (command) {
            interrupted.store(false);
        }
        std::fputs("\n", stdout);
        std::fflush(stdout);
        return std::string();
    }
    std::string text(line);
    std::free(line);
    if (command && text.find_first_not_of(" \t") != std::string::npos) {
        add_history(text.c_str());
    }
    return text;
}

}  // namespace

std::atomic<bool>& interruptFlag() {
    return interrupted;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a read at the prompt returns
    sigaction(SIGINT, &action, nullptr);
}

std::optional<std::string> readCommandLine(const char* prompt) {
    return readWithPrompt(prompt, true);
}

std::optional<std::string> readInputLine(const char* prompt) {
    return readWithPrompt(prompt, false);
}

void useCompletions(const Debug::CommandInterpreter& commands) {
    completer = &commands;
    rl_readline_name = "vorndbg";
    rl_catch_signals = 0;
    rl_attempted_completion_function = complete;
    static char breaks[] = " \t[*";
    rl_completer_word_break_characters = breaks;
}

}  // namespace Vorn::Debugger
