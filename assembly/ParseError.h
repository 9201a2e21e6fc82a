// Every error a source can cause. Each error carries only what its message
// needs and prints its own message; the driver adds "Error: " and ".".
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

#include "assembly/Token.h"

namespace Vorn::Assembly {

// Which class an error is, one value per concrete class of the family, so
// that a caller can tell them apart without a cast or a rethrow.
enum class ParseErrorKind : std::uint8_t {
    ExpectingNumberOrIdentifier,
    ExpectingIdentifier,
    ExpectingDefinition,
    ExpectingLabel,
    ExpectingNumber,
    ExpectingRepetition,
    ExpectingRegister,
    ExpectingComment,
    ExpectingEndOfLineOrFile,
    RedefinitionOfLabel,
    RedefinitionOfRegister,
    RedefinitionOfOperation,
    InvalidToken,
    NumberOutOfRange,
    MemoryFull,
    AddressOutOfBounds,
    NotAnIdentifier,
    NotANumber,
    UndefinedLabel,
    CircularDefinition,
};

// The intermediate class an error of this kind derives from.
enum class ParseErrorFamily : std::uint8_t {
    Expecting,     // names the token met and the line
    Redefinition,  // names the line
    Line,          // names the line
    Address,       // names the address
    Plain,         // names nothing
    Name,          // names a name; raised while the names are resolved
};
ParseErrorFamily familyOf(ParseErrorKind kind);

class ParseError {
  public:
    virtual std::ostream& print(std::ostream& out) const = 0;
    virtual ~ParseError() = default;
    virtual ParseErrorKind kind() const = 0;

  protected:
    ParseError() = default;
    ParseError(const ParseError&) = default;
    ParseError& operator=(const ParseError&) = default;
};

std::ostream& operator<<(std::ostream& out, const ParseError& error);

// A token of the wrong kind was met: "(line N, token T) expecting ...".
class Expecting : public ParseError {
  public:
    Expecting(Token found, std::int32_t atLine) : token(std::move(found)), line(atLine) {}
    const Token& foundToken() const { return token; }
    std::int32_t lineNumber() const { return line; }

  protected:
    std::ostream& printPrefix(std::ostream& out) const;

    Token token;
    std::int32_t line;
};

// A name is bound a second time: "(line N) redefinition of ...". The token
// travels with the error but the message does not name it.
class Redefinition : public ParseError {
  public:
    Redefinition(Token found, std::int32_t atLine) : token(std::move(found)), line(atLine) {}
    const Token& foundToken() const { return token; }
    std::int32_t lineNumber() const { return line; }

  protected:
    std::ostream& printPrefix(std::ostream& out) const;

    Token token;
    std::int32_t line;
};

#define VORN_TOKEN_ERROR(Name, Base)                                          \
    class Name : public Base {                                                \
      public:                                                                 \
        using Base::Base;                                                     \
        std::ostream& print(std::ostream& out) const override;                \
        ParseErrorKind kind() const override { return ParseErrorKind::Name; } \
    }

VORN_TOKEN_ERROR(ExpectingNumberOrIdentifier, Expecting);
VORN_TOKEN_ERROR(ExpectingIdentifier, Expecting);
VORN_TOKEN_ERROR(ExpectingDefinition, Expecting);
VORN_TOKEN_ERROR(ExpectingLabel, Expecting);
VORN_TOKEN_ERROR(ExpectingNumber, Expecting);
VORN_TOKEN_ERROR(ExpectingRepetition, Expecting);
VORN_TOKEN_ERROR(ExpectingRegister, Expecting);
VORN_TOKEN_ERROR(ExpectingComment, Expecting);
VORN_TOKEN_ERROR(ExpectingEndOfLineOrFile, Expecting);
VORN_TOKEN_ERROR(RedefinitionOfLabel, Redefinition);
VORN_TOKEN_ERROR(RedefinitionOfRegister, Redefinition);
VORN_TOKEN_ERROR(RedefinitionOfOperation, Redefinition);

#undef VORN_TOKEN_ERROR

// An error that names only the line of the statement.
class LineError : public ParseError {
  public:
    explicit LineError(std::int32_t atLine) : line(atLine) {}
    std::int32_t lineNumber() const { return line; }

  protected:
    std::int32_t line;
};

// A statement begins with a character that begins no token.
class InvalidToken : public LineError {
  public:
    using LineError::LineError;
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::InvalidToken; }
};

// A run of digits whose value exceeds 2147483647.
class NumberOutOfRange : public LineError {
  public:
    using LineError::LineError;
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::NumberOutOfRange; }
};

// A cell is stored when all 65536 cells are filled.
class MemoryFull : public LineError {
  public:
    using LineError::LineError;
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::MemoryFull; }
};

// A numeric address operand outside 0 to 65535.
class AddressOutOfBounds : public ParseError {
  public:
    explicit AddressOutOfBounds(std::int32_t value) : address(value) {}
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::AddressOutOfBounds; }

  private:
    std::int32_t address;
};

class NotAnIdentifier : public ParseError {
  public:
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::NotAnIdentifier; }
};

class NotANumber : public ParseError {
  public:
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::NotANumber; }
};

// A name that errors at resolution: it has no entry, or it comes back on its
// own chain of aliases.
class NameError : public ParseError {
  public:
    explicit NameError(std::string missing) : name(std::move(missing)) {}
    const std::string& missingName() const { return name; }

  protected:
    std::string name;
};

class UndefinedLabel : public NameError {
  public:
    using NameError::NameError;
    // The message for a name, without an error object or a stream: a program
    // of many names that do not resolve tells each its own.
    static std::string messageFor(std::string_view missing);
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::UndefinedLabel; }
};

class CircularDefinition : public NameError {
  public:
    using NameError::NameError;
    static std::string messageFor(std::string_view repeated);
    std::ostream& print(std::ostream& out) const override;
    ParseErrorKind kind() const override { return ParseErrorKind::CircularDefinition; }
};

}  // namespace Vorn::Assembly
