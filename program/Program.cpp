#include "program/Program.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <ios>
#include <istream>
#include <iterator>
#include <limits>
#include <streambuf>

#include "assembly/ProgramLabels.h"
#include "machine/ImageFile.h"
#include "machine/Machine.h"

namespace Vorn {

namespace {

// Hands a stream to the assembler in blocks and keeps the text of the lines
// that fill cells, the only ones a listing shows. A block is looked at when
// the assembler asks for the next one: by then it has read every statement
// that ends in it. The line still open at a block's end is kept until it
// ends, unless it is a comment, which fills no cell; so a source of comments,
// or a file that never ends (a device), costs a block of memory.
class KeepingBuffer : public std::streambuf {
  public:
    KeepingBuffer(std::streambuf& file, SourceLines& lines) : file_(file), lines_(lines) {}

    // The line of a statement that filled cells, as the assembler reads it.
    void filled(std::int32_t line) {
        const auto number = static_cast<std::size_t>(line);
        if (filled_.empty() || filled_.back() != number) {
            filled_.push_back(number);
        }
    }

  protected:
    int_type underflow() override {
        look(eback(), static_cast<std::size_t>(egptr() - eback()));
        const std::streamsize count = file_.sgetn(block_, sizeof block_);
        if (count <= 0) {
            // A last line without a line end is a line too.
            if (!open_.empty() || dropping_) {
                endLine();
            }
            lines_.setSize(lineNumber_ - 1);
            setg(block_, block_, block_);
            return traits_type::eof();
        }
        setg(block_, block_, block_ + count);
        return traits_type::to_int_type(block_[0]);
    }

  private:
    void look(const char* text, std::size_t size) {
        const char* end = text + size;
        while (text < end) {
            const char* lineFeed = static_cast<const char*>(
                std::memchr(text, '\n', static_cast<std::size_t>(end - text)));
            if (lineFeed == nullptr) {
                if (!dropping_) {
                    open_.append(text, static_cast<std::size_t>(end - text));
                }
                break;
            }
            // A line that ends here is copied only to be kept.
            if (!dropping_ && wanted()) {
                open_.append(text, static_cast<std::size_t>(lineFeed - text));
            }
            endLine();
            text = lineFeed + 1;
        }
        // A line that is a comment so far is one to its end.
        const std::size_t first = open_.find_first_not_of(" \t\v");
        if (!dropping_ && first != std::string::npos && open_[first] == ';' && !wanted()) {
            open_.clear();
            dropping_ = true;
        }
    }

    // Whether the open line filled cells; forgets the lines before it.
    bool wanted() {
        while (!filled_.empty() && filled_.front() < lineNumber_) {
            filled_.pop_front();
        }
        return !filled_.empty() && filled_.front() == lineNumber_;
    }

    void endLine() {
        if (wanted() && !dropping_) {
            if (!open_.empty() && open_.back() == '\r') {
                open_.pop_back();
            }
            lines_.keep(lineNumber_ - 1, std::move(open_));
        }
        open_.clear();
        dropping_ = false;
        ++lineNumber_;
    }

    std::streambuf& file_;
    SourceLines& lines_;
    std::string open_;  // the text of the line not ended yet
    bool dropping_ = false;
    std::size_t lineNumber_ = 1;
    // The lines that filled cells and have not ended yet, in order.
    std::deque<std::size_t> filled_;
    char block_[1 << 16];
};

}  // namespace

// ---------------------------------------------------------------------------
// The lines

SourceLines SourceLines::split(std::string_view text) {
    SourceLines lines;
    std::size_t start = 0;
    std::size_t number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.keep(number++, std::string(line));
        start = end + 1;
    }
    lines.setSize(number);
    return lines;
}

std::string_view SourceLines::text(std::int32_t line) const {
    if (line < 1) {
        return {};
    }
    const auto index = static_cast<std::size_t>(line) - 1;
    const auto found = std::lower_bound(kept_.begin(), kept_.end(), index,
                                        [](const std::pair<std::size_t, std::string>& kept,
                                           std::size_t key) { return kept.first < key; });
    return found != kept_.end() && found->first == index ? std::string_view(found->second)
                                                         : std::string_view();
}

void SourceLines::keep(std::size_t index, std::string text) {
    kept_.emplace_back(index, std::move(text));
}

// ---------------------------------------------------------------------------
// Loading

Program Program::fromImage(std::vector<Word> words) {
    Program program;
    program.format_ = Format::Image;
    program.words_ = std::move(words);
    program.outside_.assign(Machine::memorySize, 1);
    std::fill_n(program.outside_.begin(), std::min(program.words_.size(), Machine::memorySize), 0);
    return program;
}

Program Program::fromAssembled(Assembly::Program assembled, SourceLines lines) {
    Program program;
    program.format_ = Format::Source;
    if (!assembled.error) {
        program.words_ = assembled.words();
        program.labels_ = Assembly::labelsOf(assembled);
        program.outside_ = Assembly::cellsOutsideInstructions(assembled);
        program.lines_ = std::move(lines);
    } else {
        assembled.cells.clear();
        program.outside_.assign(Machine::memorySize, 1);
    }
    program.assembled_ = std::move(assembled);
    return program;
}

Program Program::fromSource(std::string_view text) {
    return fromAssembled(Assembly::assembleProgram(text), SourceLines::split(text));
}

Program Program::load(std::istream& in, Format format) {
    if (format == Format::Image) {
        return fromImage(readImage(in));
    }
    SourceLines lines;
    KeepingBuffer keeping(*in.rdbuf(), lines);
    std::istream source(&keeping);
    Assembly::Program assembled;
    try {
        assembled = Assembly::assembleProgram(
            source, [&keeping](std::int32_t line) { keeping.filled(line); });
    } catch (const std::ios_base::failure&) {
        source.setstate(std::ios::badbit);
    }
    if (source.bad()) {
        throw ReadFailed();
    }
    return fromAssembled(std::move(assembled), std::move(lines));
}

// ---------------------------------------------------------------------------
// Lookups

std::int32_t Program::lineOf(std::uint32_t address) const {
    return address < cells().size() ? cells()[address].line : 0;
}

std::optional<std::uint16_t> Program::firstInstructionOn(std::int32_t line) const {
    for (std::size_t address = 0; address < cells().size(); ++address) {
        if (cells()[address].line == line && cells()[address].isInstruction) {
            return static_cast<std::uint16_t>(address);
        }
    }
    return std::nullopt;
}

const Assembly::ProgramSymbol* Program::symbol(std::string_view name) const {
    return assembled_.symbol(name);
}

std::optional<std::uint16_t> Program::addressOf(std::string_view name) const {
    const Assembly::ProgramSymbol* found = symbol(name);
    if (found == nullptr || !found->number || *found->number < 0 ||
        *found->number > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*found->number);
}

std::optional<std::uint16_t> Program::labelAddress(std::string_view name) const {
    const Assembly::ProgramSymbol* found = symbol(name);
    if (found == nullptr || found->kind != Assembly::ProgramSymbol::Kind::Label) {
        return std::nullopt;
    }
    return addressOf(name);
}

}  // namespace Vorn
