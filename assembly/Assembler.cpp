#include "assembly/Assembler.h"

#include <istream>
#include <limits>

#include "assembly/Lexer.h"
#include "assembly/ParseError.h"
#include "assembly/ProgramRecorder.h"
#include "machine/InstructionSet.h"

namespace Vorn::Assembly {

namespace {
constexpr std::int32_t haltAddress = 0xFFFF;
}

Assembler::Assembler(std::istream& source, std::ostream& image) : input(source), output(image) {}

void Assembler::assemble() {
    readSource();
    writeImage();
}

void Assembler::readSource() {
    initNameMaps();
    line = 1;
    count = 0;
    symbols.clear();
    // The machine halts at 0xFFFF, so "jump end" ends a program.
    symbols.bind("end", Value(haltAddress));
    TokenStream source(input);
    tokens = &source;
    // Leaves no pointer to the TokenStream behind, and no token borrowing
    // the source text, also when an error leaves; a destructor must not
    // allocate then (the error may be std::bad_alloc), so it drops the text.
    struct Detach {
        TokenStream*& tokens;
        Token& token;
        ~Detach() {
            tokens = nullptr;
            token.dropBorrowedText();
        }
    } detach{tokens, token};
    runStatements();
    token.keepText();
}

void Assembler::nextToken() {
    tokens->read(token);
    // The lexer fails the stream on a number too large for 32 bits.
    if (token.getKind() == TokenKind::Number && tokens->failed()) {
        throw NumberOutOfRange(line);
    }
}

void Assembler::runStatements() {
    do {
        nextToken();
        switch (token.getKind()) {
            case TokenKind::EndOfFile:
                break;
            case TokenKind::EndOfLine:
                expectEndOfStatement(false);
                break;
            case TokenKind::Comment:
                expectComment(false);
                expectEndOfStatement(true);
                break;
            case TokenKind::Definition:
                parseDefinition(false);
                statementTail();
                break;
            case TokenKind::Label:
                // A label does not end its statement: the next token begins one.
                parseLabel(false);
                break;
            case TokenKind::Repetition:
                parseRepeated(true, parseRepetition(false));
                statementTail();
                break;
            case TokenKind::Identifier:
                parseInstruction(false, 1);
                statementTail();
                break;
            case TokenKind::Number:
                parseData(false, 1);
                statementTail();
                break;
            case TokenKind::None:
                throw InvalidToken(line);
        }
    } while (token.getKind() != TokenKind::EndOfFile);
}

void Assembler::statementTail() {
    nextToken();
    if (token.getKind() == TokenKind::Comment) {
        expectComment(false);
        nextToken();
    }
    expectEndOfStatement(false);
}

void Assembler::expectComment(bool advanceFirst) {
    if (advanceFirst) {
        nextToken();
    }
    if (token.getKind() != TokenKind::Comment) {
        throw ExpectingComment(token, line);
    }
}

void Assembler::expectEndOfStatement(bool advanceFirst) {
    if (advanceFirst) {
        nextToken();
    }
    const TokenKind kind = token.getKind();
    if (kind != TokenKind::EndOfLine && kind != TokenKind::EndOfFile) {
        throw ExpectingEndOfLineOrFile(token, line);
    }
    // A source of more than 2^31 lines keeps naming its last line rather than wrap.
    if (line < std::numeric_limits<std::int32_t>::max()) {
        ++line;
    }
}

std::string_view Assembler::nameToBind() {
    nextToken();
    if (token.getKind() != TokenKind::Identifier) {
        throw ExpectingIdentifier(token, line);
    }
    const std::string_view name = token.identifierText();
    if (isOperationName(name)) {
        throw RedefinitionOfOperation(token, line);
    }
    if (isRegisterName(name)) {
        throw RedefinitionOfRegister(token, line);
    }
    if (symbols.contains(name)) {
        throw RedefinitionOfLabel(token, line);
    }
    if (recorder != nullptr) {
        boundName.setPlaceOf(token);
    }
    return name;
}

void Assembler::recordBinding(SymbolId id, bool isLabel) {
    if (recorder == nullptr) {
        return;
    }
    const auto kind = isLabel ? ProgramSymbol::Kind::Label : ProgramSymbol::Kind::Definition;
    recorder->bindings.push_back({id, kind, ProgramRecorder::placeOf(boundName, line)});
}

SymbolId Assembler::usedName(std::string_view name) {
    const SymbolId id = symbols.intern(name);
    if (recorder != nullptr) {
        recorder->uses.push_back({id, ProgramRecorder::placeOf(token, line)});
    }
    return id;
}

void Assembler::store(const MemoryCell& cell, std::int32_t times) {
    if (times <= 0) {
        return;
    }
    const auto copies = static_cast<std::uint32_t>(times);
    if (copies > MemoryImage::size - count) {
        throw MemoryFull(line);
    }
    for (std::uint32_t i = 0; i < copies; ++i) {
        memory.fill(count++, cell);
    }
    if (recorder != nullptr && recorder->filledLine) {
        recorder->filledLine(line);
    }
}

}  // namespace Vorn::Assembly
