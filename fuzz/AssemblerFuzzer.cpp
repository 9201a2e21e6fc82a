// Fuzz target: the assembler on arbitrary bytes, through in-memory streams.
// Every input must end in a finished image or in one ParseError whose message
// is one line; any other exception, a crash or a sanitizer report is a finding.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "fuzz/Require.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn::Assembly;

// The image is one signed 32-bit decimal per line; gives the number of lines.
std::size_t checkedLineCount(std::string_view image) {
    std::size_t lines = 0;
    while (!image.empty()) {
        const std::size_t end = image.find('\n');
        require(end != std::string_view::npos, "every image line ends with a line feed");
        const std::string_view line = image.substr(0, end);
        std::int32_t number = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), number);
        require(error == std::errc() && rest == line.data() + line.size() && !line.empty(),
                "every image line is a signed 32-bit decimal");
        ++lines;
        image.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One Assembler serves every input, as `assemble` starts each run afresh;
    // making its 65536 cells anew for each input would slow the fuzzer tenfold.
    static std::istringstream source;
    static std::ostringstream image;
    static Assembler assembler(source, image);
    source.clear();
    source.str(std::string(reinterpret_cast<const char*>(data), size));
    image.str("");
    try {
        assembler.assemble();
    } catch (const ParseError& error) {
        std::ostringstream text;
        text << error;
        const std::string message = text.str();
        require(!message.empty() && message.find('\n') == std::string::npos,
                "an error message is one non-empty line");
        // Only a name that cannot be resolved leaves lines behind: the cells
        // before the first cell that uses it.
        const bool atResolution = familyOf(error.kind()) == ParseErrorFamily::Name;
        const std::size_t lines = checkedLineCount(image.str());
        require(atResolution ? lines < assembler.cellCount() : lines == 0,
                "a failed run writes only the cells before the failing one");
        return 0;
    }
    require(checkedLineCount(image.str()) == assembler.cellCount(),
            "a finished image holds one line per filled cell");
    return 0;
}
