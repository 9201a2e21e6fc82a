#include "bench/BenchSources.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "machine/InstructionSet.h"

namespace Vorn::Bench {

namespace {

constexpr std::uint32_t cellsToFill = 0x10000;
// Names the source refers to; those whose statement the run has not yet
// written by the last cell are bound after it.
constexpr std::uint32_t plannedLabels = 7000;
constexpr std::uint32_t plannedConstants = 256;
constexpr std::uint32_t plannedAliases = 256;

// A fixed-seed generator (splitmix64): the same source on every machine.
class Random {
  public:
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }
    bool percent(std::uint32_t chance) { return below(100) < chance; }
    bool perMille(std::uint32_t chance) { return below(1000) < chance; }

  private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_ = 0x5EED;
};

constexpr std::array<std::string_view, 8> labelStems{"loop",  "next",  "done", "value",
                                                     "table", "count", "skip", "retry"};
constexpr std::array<std::string_view, 6> comments{
    "; one more turn",   "; the pointer moves on", "; keep the running total",
    "; back to the top", "; read the next number", "; nothing left to do here"};

class FullMemoryWriter {
  public:
    std::string write() {
        text_.reserve(2'000'000);
        text_ += "; A program that fills every cell of the memory.\n\n";
        while (cells_ < cellsToFill) {
            statement();
        }
        // Names used but not yet bound: labels after the last cell, then the definitions.
        for (; labels_ < plannedLabels; ++labels_) {
            text_ += ':';
            label(labels_);
            text_ += '\n';
        }
        for (; constants_ < plannedConstants; ++constants_) {
            constant();
        }
        for (; aliases_ < plannedAliases; ++aliases_) {
            alias();
        }
        return std::move(text_);
    }

  private:
    void statement() {
        if (random_.percent(3)) {
            text_ += '\n';
            return;
        }
        if (random_.percent(5)) {
            text_ += comments[random_.below(comments.size())];
            text_ += '\n';
            return;
        }
        if (constants_ < plannedConstants && random_.percent(1)) {
            constant();
            ++constants_;
            return;
        }
        if (aliases_ < plannedAliases && random_.percent(1)) {
            alias();
            ++aliases_;
            return;
        }
        if (labels_ < plannedLabels && random_.percent(12)) {
            text_ += ':';
            label(labels_++);
            // A label stands alone on its line or before the statement.
            if (random_.percent(30)) {
                text_ += '\n';
                return;
            }
            text_ += "  ";
        } else {
            text_ += "        ";
        }
        if (random_.perMille(1)) {
            repetition();
        } else if (random_.percent(80)) {
            instruction();
            ++cells_;
        } else {
            dataWord();
            ++cells_;
        }
        if (random_.percent(25)) {
            text_ += "    ";
            text_ += comments[random_.below(comments.size())];
        }
        text_ += '\n';
    }

    void instruction() {
        const auto& shape = operationTable[random_.below(operationCount)];
        text_ += shape.name;
        if (shape.hasRegister1) {
            registerName();
        }
        if (shape.hasRegister2) {
            registerName();
        }
        if (shape.hasAddress) {
            text_ += ' ';
            address();
        }
    }

    void registerName() {
        text_ += ' ';
        text_ += registerNames[random_.below(registerCount)];
    }

    // Mostly a label further on, as jumps forward and data after code are.
    void address() {
        const std::uint32_t choice = random_.below(100);
        if (choice < 55) {
            label(std::min(labels_ + random_.below(200), plannedLabels - 1));
        } else if (choice < 70) {
            label(random_.below(plannedLabels));
        } else if (choice < 80) {
            nameOfDefinition();
        } else {
            number(random_.below(0x10000));
        }
    }

    void dataWord() {
        const std::uint32_t choice = random_.below(100);
        if (choice < 50) {
            number(random_.below(1000));
        } else if (choice < 65) {
            number(random_.below(0x7FFFFFFF));
        } else if (choice < 85) {
            label(random_.below(plannedLabels));
        } else {
            nameOfDefinition();
        }
    }

    void repetition() {
        const std::uint32_t copies = std::min(16 + random_.below(240), cellsToFill - cells_);
        text_ += "* ";
        number(copies);
        text_ += ' ';
        if (random_.percent(50)) {
            number(random_.below(10));
        } else {
            instruction();
        }
        cells_ += copies;
    }

    void constant() {
        text_ += "= size_";
        number(constants_);
        text_ += ' ';
        number(random_.below(100000));
        text_ += '\n';
    }

    void label(std::uint32_t index) {
        text_ += labelStems[index % labelStems.size()];
        text_ += '_';
        number(index);
    }

    void nameOfDefinition() {
        if (random_.percent(50)) {
            text_ += "size_";
            number(random_.below(plannedConstants));
        } else {
            text_ += "where_";
            number(random_.below(plannedAliases));
        }
    }

    void alias() {
        text_ += "= where_";
        number(aliases_);
        text_ += ' ';
        label(random_.below(plannedLabels));
        text_ += '\n';
    }

    void number(std::uint32_t n) { text_ += std::to_string(n); }

    Random random_;
    std::string text_;
    std::uint32_t cells_ = 0;
    std::uint32_t labels_ = 0;
    std::uint32_t constants_ = 0;
    std::uint32_t aliases_ = 0;
};

}  // namespace

std::string fullMemorySource() {
    return FullMemoryWriter().write();
}

std::string countdownSource(std::uint32_t count) {
    return "; Counts register A down from n to 0, then halts.\n"
           "        load A n\n"
           ":loop   decr A\n"
           "        jz A end\n"
           "        jump loop\n"
           ":n      " +
           std::to_string(count) + "\n";
}

}  // namespace Vorn::Bench
