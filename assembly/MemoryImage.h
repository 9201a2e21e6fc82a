// The memory cells of one run, as the source described them, and how each
// becomes its final number once every name is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assembly/SymbolTable.h"
#include "machine/Word.h"

namespace Vorn::Assembly {

// An instruction word whose address field may still wait for a name.
class PendingWord {
  public:
    static constexpr SymbolId noLabel{0xFFFFFFFF};

    PendingWord() = default;
    explicit PendingWord(Word instruction) : word(instruction) {}
    PendingWord(Word instruction, SymbolId name) : word(instruction), label(name) {}

    bool hasLabel() const { return label != noLabel; }
    // The word with the address field filled from the label's value (its low
    // 16 bits, with no range test); the PendingWord itself is unchanged.
    // Throws UndefinedLabel or CircularDefinition.
    Word resolvedWord(SymbolTable& symbols) const;

    Word word;
    SymbolId label = noLabel;
};

// One memory word as the source described it: a data word (a number, or a
// name) or an instruction word (whose address may still wait for a name).
// A name is kept as its SymbolId and looked up only when the image is
// written. Sixteen bytes, since the 65536 cells are the run's largest data.
class MemoryCell {
  public:
    static constexpr SymbolId noName = PendingWord::noLabel;

    MemoryCell() = default;
    MemoryCell(std::int32_t atLine, std::int32_t number) : line(atLine), bits_(number) {}
    MemoryCell(std::int32_t atLine, SymbolId name) : line(atLine), name_(name) {}
    MemoryCell(std::int32_t atLine, Word word) : line(atLine), isData(false), bits_(word.value()) {}
    MemoryCell(std::int32_t atLine, Word word, SymbolId name)
        : line(atLine), isData(false), bits_(word.value()), name_(name) {}

    // Whether a name waits for resolution: the data word's value, or the
    // instruction's address.
    bool hasName() const { return name_ != noName; }
    SymbolId name() const { return name_; }
    // The cell's number: a data word's number, an instruction's word (with the
    // address field 0 while its name waits); after resolution, the final number.
    std::int32_t number() const { return bits_; }
    Word word() const { return Word(bits_); }
    // An instruction cell's word and the name its address waits for.
    PendingWord pending() const { return {word(), name_}; }

    // Replaces the name by its number: a data word takes all 32 bits, an
    // instruction's address field the low 16. Throws UndefinedLabel or
    // CircularDefinition, leaving the cell as it was.
    void resolve(SymbolTable& symbols) {
        if (hasName()) {
            resolveName(symbols);
        }
    }

    // The source line that filled the cell; -1 for a cell no statement filled.
    std::int32_t line = -1;
    bool isData = true;

  private:
    void resolveName(SymbolTable& symbols);

    std::int32_t bits_ = 0;
    SymbolId name_ = noName;
};

// The machine's 65536 cells. The room for all of them is taken once; a cell
// is made when it is first filled, so that the pages of memory a short source
// never fills are never touched. A cell not filled yet reads as a default cell.
class MemoryImage {
  public:
    static constexpr std::size_t size = 0x10000;

    MemoryImage() { cells_.reserve(size); }

    // Cells are filled in address order: `address` is at most one past the
    // highest address filled so far.
    void fill(std::size_t address, const MemoryCell& cell) {
        if (address < cells_.size()) {
            cells_[address] = cell;
        } else {
            cells_.push_back(cell);
        }
    }

    // Only for a cell that was filled.
    MemoryCell& operator[](std::size_t address) { return cells_[address]; }
    const MemoryCell& operator[](std::size_t address) const {
        return address < cells_.size() ? cells_[address] : defaultCell;
    }

  private:
    static const MemoryCell defaultCell;
    std::vector<MemoryCell> cells_;
};

}  // namespace Vorn::Assembly
