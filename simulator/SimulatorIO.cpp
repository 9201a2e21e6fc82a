#include "simulator/SimulatorIO.h"

#include <cctype>
#include <charconv>
#include <istream>
#include <ostream>
#include <utility>

namespace Vorn::Simulator {

SimulatorIO::SimulatorIO(std::istream& input, std::string inputName, std::ostream& output,
                         bool lineByLine, std::ostream* prompt)
    : StreamIO(input, output),
      input_(input),
      output_(output),
      prompt_(prompt),
      inputName_(std::move(inputName)),
      lineByLine_(lineByLine) {}

InputResult SimulatorIO::read() {
    if (!flush()) {
        throw Stop{};
    }
    promptIfWaiting();
    const InputResult result = StreamIO::read();
    if (result.kind == InputResult::Kind::Failed) {
        inputFailed_ = true;
        error_ = "cannot read " + inputName_ + " (an input error, not the end of the input).";
        throw Stop{};
    }
    return result;
}

// The blanks already typed are skipped as the read would skip them; when
// nothing else is there, the read waits. A stream that has ended or failed
// does not wait.
void SimulatorIO::promptIfWaiting() {
    if (prompt_ == nullptr || !input_.good()) {
        return;
    }
    std::streambuf* typed = input_.rdbuf();
    while (typed->in_avail() > 0 && std::isspace(typed->sgetc()) != 0) {
        typed->sbumpc();
    }
    if (typed->in_avail() == 0) {
        *prompt_ << "read: " << std::flush;
    }
}

void SimulatorIO::write(std::int32_t value) {
    if (capacity - used_ < longestLine && !flush()) {
        throw Stop{};
    }
    char* const start = buffer_ + used_;
    char* const end = std::to_chars(start, buffer_ + capacity, value).ptr;
    *end = '\n';
    used_ += static_cast<std::size_t>(end + 1 - start);
    if (lineByLine_ && !flush()) {
        throw Stop{};
    }
}

bool SimulatorIO::flush() {
    if (!error_.empty()) {
        return false;
    }
    if (used_ == 0) {
        return true;
    }
    output_.write(buffer_, static_cast<std::streamsize>(used_));
    used_ = 0;
    output_.flush();
    if (!output_) {
        error_ = "cannot write the standard output.";
        return false;
    }
    return true;
}

}  // namespace Vorn::Simulator
