// The memory cells of one run, as the source described them, and how each
// becomes its final number once every name is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "assembly/Value.h"
#include "machine/Word.h"

namespace Vorn::Assembly {

class SymbolTable;

// An instruction word whose address field may still wait for a name.
class PendingWord {
  public:
    PendingWord() = default;
    explicit PendingWord(Word instruction) : word(instruction) {}
    PendingWord(Word instruction, std::string name)
        : hasLabel(true), label(std::move(name)), word(instruction) {}

    // The word with the address field filled from the label's value (its low
    // 16 bits); the PendingWord itself is unchanged.
    Word resolvedWord(const SymbolTable& symbols) const;

    bool hasLabel = false;
    // The name, as a Value so that copies of the word share its text.
    Value label;
    Word word;
};

class MemoryCell {
  public:
    MemoryCell() = default;
    MemoryCell(std::int32_t atLine, std::int32_t number) : line(atLine), value(number) {}
    MemoryCell(std::int32_t atLine, std::string name) : line(atLine), value(std::move(name)) {}
    MemoryCell(std::int32_t atLine, Word word) : line(atLine), pending(word), isData(false) {}
    MemoryCell(std::int32_t atLine, Word word, std::string name)
        : line(atLine), pending(word, std::move(name)), isData(false) {}

    // Replaces names by numbers: afterwards `value` holds the final number and
    // `pending` has no label. Throws UndefinedLabel or CircularDefinition.
    void resolve(const SymbolTable& symbols);

    // The source line that filled the cell; -1 for a cell no statement filled.
    std::int32_t line = -1;
    PendingWord pending;
    Value value;
    bool isData = true;
};

// Writes the cell's value.
std::ostream& operator<<(std::ostream& out, const MemoryCell& cell);

// The machine's 65536 cells, allocated once.
class MemoryImage {
  public:
    static constexpr std::size_t size = 0x10000;

    MemoryImage() : cells_(std::make_unique<MemoryCell[]>(size)) {}

    MemoryCell& operator[](std::size_t address) { return cells_[address]; }
    const MemoryCell& operator[](std::size_t address) const { return cells_[address]; }

  private:
    std::unique_ptr<MemoryCell[]> cells_;
};

}  // namespace Vorn::Assembly
