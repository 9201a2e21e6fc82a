// An operation name and the operands its shape asks for, in the order first
// register, second register, address. Every operand is checked before any cell
// is stored.
#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "machine/InstructionSet.h"

namespace Vorn::Assembly {

namespace {
constexpr std::int32_t highestAddress = 0xFFFF;
}

RegisterId Assembler::registerOperand() {
    nextToken();
    const std::optional<RegisterId> found = token.getKind() == TokenKind::Identifier
                                                ? findRegister(token.identifierText())
                                                : std::nullopt;
    if (!found) {
        throw ExpectingRegister(token, line);
    }
    return *found;
}

void Assembler::parseInstruction(bool advanceFirst, std::int32_t times) {
    if (advanceFirst) {
        nextToken();
    }
    if (token.getKind() != TokenKind::Identifier) {
        throw ExpectingIdentifier(token, line);
    }
    const std::optional<Operation> operation = findOperation(token.identifierText());
    if (!operation) {
        // A lone name is a data word.
        parseData(false, times);
        return;
    }
    Word word;
    word.setOperation(*operation);
    if (word.hasRegister1()) {
        word.setRegister1(registerOperand());
    }
    if (word.hasRegister2()) {
        word.setRegister2(registerOperand());
    }
    if (!word.hasAddress()) {
        store(MemoryCell(line, word), times);
        return;
    }
    nextToken();
    switch (token.getKind()) {
        case TokenKind::Number: {
            const std::int32_t address = token.getNumber();
            if (address < 0 || address > highestAddress) {
                throw AddressOutOfBounds(address);
            }
            word.setAddress(static_cast<std::uint16_t>(address));
            store(MemoryCell(line, word), times);
            break;
        }
        case TokenKind::Identifier:
            // Not tested here: the name may be bound later in the source.
            store(MemoryCell(line, word, usedName(token.identifierText())), times);
            break;
        default:
            throw ExpectingNumberOrIdentifier(token, line);
    }
}

}  // namespace Vorn::Assembly
