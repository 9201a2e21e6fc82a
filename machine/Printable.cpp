#include "machine/Printable.h"

#include <ostream>
#include <sstream>

namespace Vorn {

void writePrintable(std::ostream& out, std::string_view text, std::size_t limit) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out << text[i];
        } else {
            out << "\\x" << hexDigits[byte >> 4] << hexDigits[byte & 0xF];
        }
    }
}

std::string printable(std::string_view text) {
    std::ostringstream out;
    writePrintable(out, text);
    return out.str();
}

}  // namespace Vorn
