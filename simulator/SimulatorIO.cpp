#include "simulator/SimulatorIO.h"

#include <charconv>
#include <ostream>
#include <utility>

namespace Vorn::Simulator {

SimulatorIO::SimulatorIO(std::istream& input, std::string inputName, std::ostream& output,
                         bool lineByLine)
    : StreamIO(input, output),
      output_(output),
      inputName_(std::move(inputName)),
      lineByLine_(lineByLine) {}

InputResult SimulatorIO::read() {
    if (!flush()) {
        throw Stop{};
    }
    const InputResult result = StreamIO::read();
    if (result.kind == InputResult::Kind::Failed) {
        inputFailed_ = true;
        error_ = "cannot read " + inputName_ + " (an input error, not the end of the input).";
        throw Stop{};
    }
    return result;
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
