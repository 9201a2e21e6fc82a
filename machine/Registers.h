// The machine's register file: 16 words, "A" to "P".
#pragma once

#include <array>
#include <cstdint>

#include "machine/InstructionSet.h"
#include "machine/Word.h"

namespace Vorn::Register {

class Registers {
  public:
    // Thrown by `at` for a register number outside 0 to 15.
    class registerOutOfBounds {
      public:
        std::int32_t index;
    };

    // Inline so that the bounds test folds away wherever the number comes from
    // a 4-bit field, as it does in the execution step.
    Word& at(std::int32_t i) {
        check(i);
        return words_[static_cast<std::size_t>(i)];
    }
    const Word& at(std::int32_t i) const {
        check(i);
        return words_[static_cast<std::size_t>(i)];
    }
    Word& at(RegisterId reg) { return at(static_cast<std::int32_t>(reg)); }
    const Word& at(RegisterId reg) const { return at(static_cast<std::int32_t>(reg)); }

  private:
    static void check(std::int32_t i) {
        if (i < 0 || i >= static_cast<std::int32_t>(registerCount)) {
            throw registerOutOfBounds{i};
        }
    }

    std::array<Word, registerCount> words_{};
};

}  // namespace Vorn::Register
