// ": name" names the address of the next cell to fill; "* count item" fills
// `count` cells with one data word or one instruction.
#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"

namespace Vorn::Assembly {

void Assembler::parseLabel(bool advanceFirst) {
    if (advanceFirst) {
        nextToken();
    }
    if (token.getKind() != TokenKind::Label) {
        throw ExpectingLabel(token, line);
    }
    const SymbolId id = symbols.intern(nameToBind());
    symbols.bind(id, Value(static_cast<std::int32_t>(count)));
    recordBinding(id, true);
}

std::int32_t Assembler::parseRepetition(bool advanceFirst) {
    if (advanceFirst) {
        nextToken();
    }
    if (token.getKind() != TokenKind::Repetition) {
        throw ExpectingRepetition(token, line);
    }
    nextToken();
    if (token.getKind() != TokenKind::Number) {
        throw ExpectingNumber(token, line);
    }
    return token.getNumber();
}

void Assembler::parseRepeated(bool advanceFirst, std::int32_t times) {
    if (advanceFirst) {
        nextToken();
    }
    switch (token.getKind()) {
        case TokenKind::Identifier:
            if (isOperationName(token.identifierText())) {
                parseInstruction(false, times);
            } else {
                parseData(false, times);
            }
            break;
        case TokenKind::Number:
            parseData(false, times);
            break;
        default:
            throw ExpectingNumberOrIdentifier(token, line);
    }
}

}  // namespace Vorn::Assembly
