// "= name value": binds a name to a number (a constant) or to another name (an
// alias). The name is tested before the value is read; the value name is not
// tested at all, since its meaning is settled only when the image is written.
#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "assembly/ProgramRecorder.h"

namespace Vorn::Assembly {

void Assembler::parseDefinition(bool advanceFirst) {
    if (advanceFirst) {
        nextToken();
    }
    if (token.getKind() != TokenKind::Definition) {
        throw ExpectingDefinition(token, line);
    }
    // Interned now, since reading the value replaces the token: a name
    // interned and left unbound by an error names nothing.
    const SymbolId id = symbols.intern(nameToBind());
    nextToken();
    switch (token.getKind()) {
        case TokenKind::Number:
            symbols.bind(id, Value(token.getNumber()));
            break;
        case TokenKind::Identifier:
            symbols.bind(id, Value(token.getIdentifier()));
            if (recorder != nullptr) {
                recorder->aliasValues.push_back(
                    {*symbols.aliasTarget(id), ProgramRecorder::placeOf(token, line)});
            }
            break;
        default:
            throw ExpectingNumberOrIdentifier(token, line);
    }
    recordBinding(id, false);
}

}  // namespace Vorn::Assembly
