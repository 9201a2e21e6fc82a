#include "debug/Origin.h"

#include <ostream>
#include <sstream>

#include "machine/Trace.h"

namespace Vorn::Debug {

namespace {

std::string lineOf(const Program& program, std::uint16_t address) {
    const std::int32_t line = program.lineOf(address);
    return line > 0 ? " (line " + std::to_string(line) + ")" : "";
}

std::string instructionText(const Program& program, Word instruction) {
    std::ostringstream text;
    writeInstruction(text, instruction, program.labels());
    return text.str();
}

}  // namespace

std::string locationName(const Location& location) {
    return location.kind == Location::Kind::Register ? std::string(nameOf(location.reg))
                                                     : "[" + std::to_string(location.address) + "]";
}

std::string describeLink(const Program& program, const OriginLink& link) {
    const std::string where = locationName(link.location);
    if (link.source == OriginLink::Source::NotFollowed) {
        return "\u2026 " + where + " and the rest not followed (at most " +
               std::to_string(originLinks) + " links)";
    }
    std::string text = where + " = " + std::to_string(link.value.value());
    switch (link.source) {
        case OriginLink::Source::Step:
            return text +
                   (link.location.kind == Location::Kind::Register ? " by " : " written by ") +
                   instructionText(program, link.instruction) + " at step " +
                   std::to_string(link.step) + lineOf(program, link.address);
        case OriginLink::Source::Input:
            return text + " read as input number " + std::to_string(link.input) + " at step " +
                   std::to_string(link.step) + lineOf(program, link.address);
        case OriginLink::Source::Image:
            return text + " from the program's image" + lineOf(program, link.location.address);
        case OriginLink::Source::Start:
            return text + (link.location.kind == Location::Kind::Register
                               ? " since the start: no step wrote it"
                               : " since the start: neither the image nor a step wrote it");
        case OriginLink::Source::BeforeKept:
            return text + " since step " + std::to_string(link.step) +
                   " (set by hand there, or written before it: the history keeps no older step)";
        case OriginLink::Source::NotFollowed:
            break;
    }
    return text;
}

void writeOrigin(std::ostream& out, const Program& program, const std::vector<OriginLink>& links) {
    for (const OriginLink& link : links) {
        if (link.depth > 0) {
            out << std::string(static_cast<std::size_t>(2 * (link.depth - 1)), ' ') << "\u2190 ";
        }
        out << describeLink(program, link) << '\n';
    }
}

}  // namespace Vorn::Debug
