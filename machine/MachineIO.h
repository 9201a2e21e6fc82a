// Where a running machine's read takes its numbers and its write puts them.
// The machine does no input or output of its own: a command line, a test, a
// grader, a debugger and a browser each give it the MachineIO they need.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace Vorn {

struct InputResult {
    enum class Kind : std::uint8_t {
        Number,      // `value` is the number read
        Ended,       // the input has no more numbers
        NotANumber,  // the next characters are not a number
        OutOfRange,  // a number outside 32 bits
        Failed,      // the input could not be read at all (an input error)
    };
    Kind kind = Kind::Ended;
    std::int32_t value = 0;
};

class MachineIO {
  public:
    // Thrown by an implementation to end the run at a read or a write (an
    // output that cannot be written, too much output, an input error). The
    // machine's program counter has already moved past the instruction.
    class Stop {};

    virtual ~MachineIO() = default;
    virtual InputResult read() = 0;
    virtual void write(std::int32_t value) = 0;
    // After a Stop from read: whether the input failed (an input error, not
    // the end of the input), which a trace shows as such.
    virtual bool inputFailed() const { return false; }

  protected:
    MachineIO() = default;
    MachineIO(const MachineIO&) = default;
    MachineIO& operator=(const MachineIO&) = default;
};

// Reads numbers from a stream as a formatted integer read does and writes one
// decimal per line, flushed.
class StreamIO : public MachineIO {
  public:
    StreamIO(std::istream& input, std::ostream& output) : input_(input), output_(output) {}

    InputResult read() override;
    void write(std::int32_t value) override;

  private:
    std::istream& input_;
    std::ostream& output_;
};

}  // namespace Vorn
