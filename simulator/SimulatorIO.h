// vornsim's input and output for the running program.
//
// The output is buffered and written when the buffer is full, before every
// read (so that a prompt shows before the program waits), at the end, and
// after every line only when it goes to a terminal: an interactive program
// behaves as if nothing were buffered, and a million writes to a file cost a
// few system calls. A write that fails (a full disk, a closed output, a pipe
// whose reader is gone) ends the run at that write; so does an input that
// cannot be read, which is not the end of the input.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "machine/MachineIO.h"

namespace Vorn::Simulator {

class SimulatorIO : public StreamIO {
  public:
    // `inputName` names the input in messages ("the standard input", "input
    // file 'numbers.txt'").
    SimulatorIO(std::istream& input, std::string inputName, std::ostream& output, bool lineByLine);

    // Throws MachineIO::Stop after an input error.
    InputResult read() override;
    // Throws MachineIO::Stop when the output cannot be written.
    void write(std::int32_t value) override;

    // Writes what is buffered; false (and error() says why) when it fails.
    bool flush();
    // Why the run was stopped; empty while it was not.
    const std::string& error() const { return error_; }
    // Whether it was the input that failed.
    bool inputFailed() const override { return inputFailed_; }

  private:
    static constexpr std::size_t capacity = std::size_t{1} << 16;
    // Room for one more line: a sign, ten digits and the line end.
    static constexpr std::size_t longestLine = 12;

    std::ostream& output_;
    std::string inputName_;
    bool lineByLine_;
    std::size_t used_ = 0;
    std::string error_;
    bool inputFailed_ = false;
    char buffer_[capacity];
};

}  // namespace Vorn::Simulator
