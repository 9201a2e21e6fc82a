// A data word: a number stored whole, or a name resolved when the image is
// written. Operation and register names are not data words.
#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"

namespace Vorn::Assembly {

void Assembler::parseData(bool advanceFirst, std::int32_t times) {
    if (advanceFirst) {
        nextToken();
    }
    switch (token.getKind()) {
        case TokenKind::Number:
            store(MemoryCell(line, token.getNumber()), times);
            break;
        case TokenKind::Identifier: {
            const std::string_view name = token.identifierText();
            if (isOperationName(name) || isRegisterName(name)) {
                throw ExpectingLabel(token, line);
            }
            store(MemoryCell(line, usedName(name)), times);
            break;
        }
        default:
            throw ExpectingNumberOrIdentifier(token, line);
    }
}

}  // namespace Vorn::Assembly
