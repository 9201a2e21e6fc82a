#include "tools/ProgramFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "assembly/Program.h"
#include "machine/ImageFile.h"
#include "machine/Printable.h"
#include "tools/ToolError.h"

namespace Vorn::Tools {

namespace {

// Hands a file to the assembler in blocks and keeps the text of the lines
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

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

template <typename Error>
std::string messageOf(const Error& error) {
    std::ostringstream message;
    message << error;
    return message.str();
}

}  // namespace

std::ifstream openForReading(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(path, ignored)) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "'.");
    }
    return in;
}

void refuseSpecialFile(const std::string& path, const std::string& what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode) &&
        !S_ISDIR(info.st_mode)) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "' (not a regular file).");
    }
}

std::vector<Word> readImageFile(const std::string& path) {
    // Read from the file as it comes: reading stops at the first bad line.
    std::ifstream file = openForReading(path, "image file");
    try {
        return readImage(file);
    } catch (const ImageError& error) {
        std::string message = printable(path) + ", " + messageOf(error);
        if (endsWith(path, ".vorn")) {
            message += " (an assembly source needs --source)";
        }
        throw ToolError(message + ".");
    }
}

std::string_view SourceLines::operator[](std::size_t index) const {
    const auto found = std::lower_bound(kept_.begin(), kept_.end(), index,
                                        [](const std::pair<std::size_t, std::string>& line,
                                           std::size_t key) { return line.first < key; });
    return found != kept_.end() && found->first == index ? std::string_view(found->second)
                                                         : std::string_view();
}

void SourceLines::keep(std::size_t index, std::string text) {
    kept_.emplace_back(index, std::move(text));
}

AssembledSource assembleSourceFile(const std::string& path) {
    std::ifstream file = openForReading(path, "source file");
    AssembledSource result;
    KeepingBuffer keeping(*file.rdbuf(), result.lines);
    std::istream source(&keeping);
    Assembly::Program program;
    try {
        program = Assembly::assembleProgram(
            source, [&keeping](std::int32_t line) { keeping.filled(line); });
    } catch (const std::ios_base::failure&) {
        source.setstate(std::ios::badbit);
    }
    if (source.bad()) {
        throw ToolError("cannot read source file '" + printable(path) + "'.");
    }
    if (program.error) {
        throw ToolError(program.error->message + ".");
    }
    result.program = std::move(program);
    return result;
}

}  // namespace Vorn::Tools
