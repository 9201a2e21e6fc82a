// The program a tool loads, runs, lists or debugs: from a memory image, or
// from a source through the one assembler (assembly/Program.h). It holds the
// words, and for a source the cells with their lines, the symbols and labels,
// and the text of the lines; every tool asks it the same questions (a
// symbol's value, the line of an address, a label for an address). No file
// or terminal code: the front ends open the files and hand over the text or
// a stream.
//
//   Program program = Program::load(file, Program::Format::Source);
//   if (program.error()) { ... as vornasm prints it ... }
//   machine.load(program.words());
//   program.lineOf(machine.programCounter);
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "assembly/Program.h"
#include "machine/AddressNames.h"
#include "machine/Word.h"

namespace Vorn {

// The text of a source's lines, by number. A program read from a stream
// keeps only the lines that filled cells (a listing, a trace and a run's
// messages show no other), so that a source of a million comment lines
// costs no memory; one from a whole text keeps every line (a debugger lists
// any of them).
class SourceLines {
  public:
    // Every line of `text`, split at LF, a CR before it dropped; a last line
    // without a line end is a line too.
    static SourceLines split(std::string_view text);

    // How many lines the source has, kept or not.
    std::size_t size() const { return count_; }
    // The text of line `line` (from 1) without its line end; empty for a
    // line not kept or out of range.
    std::string_view text(std::int32_t line) const;

    // Lines are kept in increasing order.
    void keep(std::size_t line, std::string text);
    void setSize(std::size_t count) { count_ = count; }

  private:
    std::vector<std::pair<std::size_t, std::string>> kept_;  // by line number
    std::size_t count_ = 0;
};

class Program {
  public:
    enum class Format : std::uint8_t { Image, Source };

    // An input error while a program was read (not the end of the input).
    class ReadFailed {};

    Program() = default;
    // A memory image's words, for addresses 0 upwards.
    static Program fromImage(std::vector<Word> words);
    // Assembles a whole source; every line's text is kept.
    static Program fromSource(std::string_view text);
    // Reads a program file's contents as they come: an image (throws
    // ImageError for a line that is not a word) or a source (keeps the text
    // of the lines that filled cells). Throws ReadFailed on an input error.
    // An assembly error is error(), not an exception.
    static Program load(std::istream& in, Format format);

    Format format() const { return format_; }
    bool hasSource() const { return format_ == Format::Source; }
    // The assembly error that stopped a source, as vornasm reports it; the
    // program is then empty.
    const std::optional<Assembly::AssemblyError>& error() const { return assembled_.error; }

    const std::vector<Word>& words() const { return words_; }
    // A source's cells and symbols (in name order); empty for an image.
    const std::vector<Assembly::ProgramCell>& cells() const { return assembled_.cells; }
    const std::vector<Assembly::ProgramSymbol>& symbols() const { return assembled_.symbols; }
    const SourceLines& lines() const { return lines_; }
    // The labels, for instructions shown as the source wrote them; null for
    // a program without any.
    const AddressNames* labels() const { return labels_.empty() ? nullptr : &labels_; }

    // One byte per memory address (65536), 1 where the program has no
    // instruction: for a source, a data word's cell or one no statement
    // filled; for an image, which does not tell its instructions from its
    // data, a cell past its words.
    const std::uint8_t* outsideInstructions() const { return outside_.data(); }

    // The source line that filled the cell at `address`, 0 for none.
    std::int32_t lineOf(std::uint32_t address) const;
    // The text of line `line` (from 1), or empty.
    std::string_view lineText(std::int32_t line) const { return lines_.text(line); }
    // The first instruction cell that line `line` filled.
    std::optional<std::uint16_t> firstInstructionOn(std::int32_t line) const;
    // A name of the source (a label, a definition, a predefined name), or null.
    const Assembly::ProgramSymbol* symbol(std::string_view name) const;
    // The address a name stands for, when it resolves to one (0 to 65535).
    std::optional<std::uint16_t> addressOf(std::string_view name) const;
    // The address of a label (not a definition), or none.
    std::optional<std::uint16_t> labelAddress(std::string_view name) const;
    // The name the program gives `address`, or null.
    const std::string* labelFor(std::uint16_t address) const { return labels_.find(address); }

  private:
    static Program fromAssembled(Assembly::Program assembled, SourceLines lines);

    Format format_ = Format::Image;
    std::vector<Word> words_;
    Assembly::Program assembled_;
    SourceLines lines_;
    AddressNames labels_;
    std::vector<std::uint8_t> outside_;
};

}  // namespace Vorn
