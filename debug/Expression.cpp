#include "debug/Expression.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "analysis/Spelling.h"
#include "text/Lines.h"
#include "text/Number.h"

namespace Vorn::Debug {

namespace {

using Node = Expression::Node;
using Kind = Node::Kind;
using Operator = Node::Operator;

// The text in quotes, its control characters written out: a message stays
// one line, whole (an editor's condition may hold a line end or a NUL byte).
std::string quoted(std::string_view text) {
    return "\"" + Text::visible(text) + "\"";
}

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

std::optional<RegisterId> registerNamed(std::string_view name) {
    for (std::size_t i = 0; i < registerCount; ++i) {
        if (registerNames[i] == name) {
            return static_cast<RegisterId>(i);
        }
    }
    return std::nullopt;
}

// The operators in the order their text is tried: two characters first.
struct OperatorText {
    std::string_view text;
    Operator op;
    int level;  // 1 ||, 2 &&, 3 comparisons, 4 sums
};
constexpr OperatorText operators[] = {
    {"||", Operator::Or, 1},          {"&&", Operator::And, 2},
    {"==", Operator::Equal, 3},       {"!=", Operator::NotEqual, 3},
    {"<=", Operator::LessOrEqual, 3}, {">=", Operator::GreaterOrEqual, 3},
    {"<", Operator::Less, 3},         {">", Operator::Greater, 3},
    {"+", Operator::Add, 4},          {"-", Operator::Subtract, 4},
};
constexpr int lowestLevel = 1;
constexpr int sumLevel = 4;

class Parser {
  public:
    Parser(std::string_view text, const Program& program, std::vector<Node>& nodes)
        : text_(text), program_(program), nodes_(nodes) {}

    int parse() {
        const int root = binary(lowestLevel);
        skipSpace();
        if (position_ < text_.size()) {
            fail(quoted(text_.substr(position_)) + " is left over");
        }
        return root;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        // A long text is cut: the error stays one readable line.
        constexpr std::size_t shown = 60;
        const std::string text = text_.size() <= shown
                                     ? std::string(text_)
                                     : std::string(text_.substr(0, shown - 3)) + "...";
        throw ExpressionError("Cannot read the expression " + quoted(text) + ": " + what + ".");
    }

    void skipSpace() {
        while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) {
            ++position_;
        }
    }

    bool accept(std::string_view token) {
        skipSpace();
        if (text_.substr(position_).starts_with(token)) {
            position_ += token.size();
            return true;
        }
        return false;
    }

    // Bounds that keep the recursive parse and evaluation far from the
    // stack's end, whatever a script hands over.
    static constexpr std::size_t mostNodes = 1000;
    static constexpr int deepest = 100;

    int add(Node node) {
        if (nodes_.size() == mostNodes) {
            fail("it has more than " + std::to_string(mostNodes) + " parts");
        }
        nodes_.push_back(node);
        return static_cast<int>(nodes_.size()) - 1;
    }

    // Operators of `level` and above, left to right; a comparison does not chain.
    int binary(int level) {
        if (level > sumLevel) {
            return unary();
        }
        int left = binary(level + 1);
        while (true) {
            skipSpace();
            const OperatorText* found = nullptr;
            for (const OperatorText& each : operators) {
                if (each.level == level && text_.substr(position_).starts_with(each.text)) {
                    found = &each;
                    break;
                }
            }
            if (found == nullptr) {
                return left;
            }
            position_ += found->text.size();
            const int right = binary(level + 1);
            Node node;
            node.kind = Kind::Binary;
            node.op = found->op;
            node.left = left;
            node.right = right;
            left = add(node);
            if (level == 3) {
                return left;
            }
        }
    }

    // Every level of nesting, in ( ), [ ] or after a prefix, comes through here.
    int unary() {
        if (depth_ == deepest) {
            fail("it is nested more than " + std::to_string(deepest) + " deep");
        }
        ++depth_;
        Node node;
        if (accept("-")) {
            node.kind = Kind::Negate;
        } else if (accept("!")) {
            node.kind = Kind::Not;
        } else {
            const int inside = atom();
            --depth_;
            return inside;
        }
        node.left = unary();
        --depth_;
        return add(node);
    }

    int memoryAt(int address) {
        Node node;
        node.kind = Kind::Memory;
        node.left = address;
        return add(node);
    }

    int atom() {
        skipSpace();
        if (position_ >= text_.size()) {
            fail(position_ == 0 ? "it is empty" : "a value is missing at the end");
        }
        if (accept("(")) {
            const int inside = binary(lowestLevel);
            if (!accept(")")) {
                fail("\"(\" without \")\"");
            }
            return inside;
        }
        if (accept("[")) {
            const int inside = binary(lowestLevel);
            if (!accept("]")) {
                fail("\"[\" without \"]\"");
            }
            return memoryAt(inside);
        }
        if (accept("*")) {
            return memoryAt(unary());
        }
        if (accept("&")) {
            skipSpace();
            return addressOf(word());
        }
        const std::string_view text = word();
        if (text.empty()) {
            fail("unexpected \"" + std::string(1, text_[position_]) + "\"");
        }
        if (std::isdigit(static_cast<unsigned char>(text[0])) != 0) {
            Node node;
            node.number = numberOf(text);
            return add(node);
        }
        return named(text);
    }

    // A number, a name or a $ name: the characters up to the next operator.
    std::string_view word() {
        skipSpace();
        const std::size_t start = position_;
        if (position_ < text_.size() && text_[position_] == '$') {
            ++position_;
        }
        while (position_ < text_.size() && isNameCharacter(text_[position_])) {
            ++position_;
        }
        return text_.substr(start, position_ - start);
    }

    [[noreturn]] void invalidNumber(std::string_view text) const {
        throw ExpressionError("Invalid number " + quoted(text) + ".");
    }

    std::int64_t numberOf(std::string_view text) const {
        const auto value = Text::parseInteger(text);
        if (!value) {
            invalidNumber(text);
        }
        return *value;
    }

    const Assembly::ProgramSymbol& symbolNamed(std::string_view name) const {
        for (const Assembly::ProgramSymbol& symbol : program_.symbols()) {
            if (symbol.name == name) {
                if (!symbol.number) {
                    throw ExpressionError("The name " + quoted(name) +
                                          " has no value: " + symbol.problem + ".");
                }
                return symbol;
            }
        }
        throw ExpressionError(unknownName(name, program_));
    }

    int named(std::string_view text) {
        Node node;
        if (text == "$pc") {
            node.kind = Kind::ProgramCounter;
        } else if (text == "$step") {
            node.kind = Kind::Step;
        } else if (text.starts_with('$')) {
            throw ExpressionError("No convenience value " + quoted(text) + " ($pc and $step are).");
        } else if (const auto reg = registerNamed(text)) {
            node.kind = Kind::Register;
            node.reg = *reg;
        } else {
            const Assembly::ProgramSymbol& symbol = symbolNamed(text);
            node.kind =
                symbol.kind == Assembly::ProgramSymbol::Kind::Label ? Kind::Label : Kind::Number;
            node.number = *symbol.number;
        }
        return add(node);
    }

    int addressOf(std::string_view text) {
        if (text.empty() || !isNameStart(text[0])) {
            fail("\"&\" takes the name of a label");
        }
        if (registerNamed(text)) {
            throw ExpressionError(quoted(text) + " is a register: it has no address.");
        }
        const Assembly::ProgramSymbol& symbol = symbolNamed(text);
        if (symbol.kind != Assembly::ProgramSymbol::Kind::Label) {
            throw ExpressionError(quoted(text) + " is a definition, not a label: it has no " +
                                  "address (its value is " + std::to_string(*symbol.number) + ").");
        }
        Node node;
        node.number = *symbol.number;
        return add(node);
    }

    std::string_view text_;
    std::size_t position_ = 0;
    int depth_ = 0;
    const Program& program_;
    std::vector<Node>& nodes_;
};

// Gives each node how it is read: the operands of a comparison, of && and ||
// as values, the inside of [ ] as an address.
void assignReading(std::vector<Node>& nodes, int index, bool asAddress) {
    Node& node = nodes[static_cast<std::size_t>(index)];
    node.asAddress = asAddress;
    switch (node.kind) {
        case Kind::Number:
        case Kind::Register:
        case Kind::Label:
        case Kind::ProgramCounter:
        case Kind::Step:
            return;
        case Kind::Memory:
            assignReading(nodes, node.left, true);
            return;
        case Kind::Negate:
            assignReading(nodes, node.left, asAddress);
            return;
        case Kind::Not:
            assignReading(nodes, node.left, false);
            return;
        case Kind::Binary: {
            const bool sum = node.op == Operator::Add || node.op == Operator::Subtract;
            assignReading(nodes, node.left, sum && asAddress);
            assignReading(nodes, node.right, sum && asAddress);
            return;
        }
    }
}

std::uint16_t checkedAddress(std::int64_t value) {
    if (value < 0 || value >= static_cast<std::int64_t>(Machine::memorySize)) {
        throw ExpressionError("Address " + std::to_string(value) +
                              " is out of range (0 to 65535).");
    }
    return static_cast<std::uint16_t>(value);
}

// A word used as an address: its address field, as loadi and storei read it.
std::int64_t addressField(Word word, const std::string& holder) {
    if (!word.hasAddress()) {
        throw ExpressionError(holder + " holds " + std::to_string(word.value()) +
                              ", a word without an address field.");
    }
    return Word::addressOf(word.bits());
}

struct Evaluator {
    const std::vector<Node>& nodes;
    const Machine& machine;
    std::uint64_t step;

    std::uint16_t memoryAddress(const Node& node) const { return checkedAddress(value(node.left)); }

    std::int64_t value(int index) const {
        const Node& node = nodes[static_cast<std::size_t>(index)];
        switch (node.kind) {
            case Kind::Number:
                return node.number;
            case Kind::Register: {
                const Word word = machine.registers.at(node.reg);
                return node.asAddress
                           ? addressField(word, "Register " + std::string(nameOf(node.reg)))
                           : word.value();
            }
            case Kind::Label:
                return node.asAddress
                           ? node.number
                           : machine.memory[static_cast<std::size_t>(node.number)].value();
            case Kind::Memory: {
                const std::uint16_t address = memoryAddress(node);
                const Word word = machine.memory[address];
                return node.asAddress ? addressField(word, "[" + std::to_string(address) + "]")
                                      : word.value();
            }
            case Kind::ProgramCounter:
                return machine.programCounter;
            case Kind::Step:
                return static_cast<std::int64_t>(
                    std::min<std::uint64_t>(step, std::numeric_limits<std::int64_t>::max()));
            case Kind::Negate:
                return -value(node.left);
            case Kind::Not:
                return value(node.left) == 0 ? 1 : 0;
            case Kind::Binary:
                return binary(node);
        }
        return 0;
    }

    std::int64_t binary(const Node& node) const {
        const std::int64_t left = value(node.left);
        // && and || look at their right side only when it decides.
        if (node.op == Operator::And) {
            return left != 0 && value(node.right) != 0 ? 1 : 0;
        }
        if (node.op == Operator::Or) {
            return left != 0 || value(node.right) != 0 ? 1 : 0;
        }
        const std::int64_t right = value(node.right);
        switch (node.op) {
            case Operator::Add:
                return left + right;
            case Operator::Subtract:
                return left - right;
            case Operator::Equal:
                return left == right ? 1 : 0;
            case Operator::NotEqual:
                return left != right ? 1 : 0;
            case Operator::Less:
                return left < right ? 1 : 0;
            case Operator::LessOrEqual:
                return left <= right ? 1 : 0;
            case Operator::Greater:
                return left > right ? 1 : 0;
            case Operator::GreaterOrEqual:
                return left >= right ? 1 : 0;
            case Operator::And:
            case Operator::Or:
                break;
        }
        return 0;
    }
};

}  // namespace

std::string unknownName(std::string_view name, const Program& program) {
    if (!program.hasSource()) {
        return "No symbol " + quoted(name) +
               " in the program (an image has no names; use --source).";
    }
    std::vector<std::string_view> names(registerNames.begin(), registerNames.end());
    for (const Assembly::ProgramSymbol& symbol : program.symbols()) {
        names.push_back(symbol.name);
    }
    std::string message = "No symbol " + quoted(name) + " in the program";
    if (const auto nearest = Analysis::nearestName(name, names)) {
        message += "; did you mean " + quoted(*nearest) + "?";
    } else {
        message += ".";
    }
    return message;
}

Expression Expression::parse(std::string_view text, const Program& program, Reading reading) {
    Expression expression;
    expression.text_ = std::string(text);
    Parser parser(text, program, expression.nodes_);
    const int root = parser.parse();
    // The root is the last node added.
    static_cast<void>(root);
    assignReading(expression.nodes_, root, reading == Reading::Address);
    return expression;
}

std::int64_t Expression::evaluate(const Machine& machine, std::uint64_t step) const {
    return Evaluator{nodes_, machine, step}.value(static_cast<int>(nodes_.size()) - 1);
}

std::uint16_t Expression::address(const Machine& machine, std::uint64_t step) const {
    return checkedAddress(evaluate(machine, step));
}

std::optional<Location> Expression::location(const Machine& machine, std::uint64_t step) const {
    const Node& root = nodes_.back();
    if (root.asAddress) {
        return std::nullopt;
    }
    switch (root.kind) {
        case Kind::Register:
            return Location{Location::Kind::Register, root.reg, 0};
        case Kind::Label:
            return Location{Location::Kind::Memory, RegisterId::A,
                            static_cast<std::uint16_t>(root.number)};
        case Kind::Memory:
            return Location{Location::Kind::Memory, RegisterId::A,
                            Evaluator{nodes_, machine, step}.memoryAddress(root)};
        default:
            return std::nullopt;
    }
}

bool Expression::isConstant() const {
    for (const Node& node : nodes_) {
        if (node.kind == Kind::Register || node.kind == Kind::Label || node.kind == Kind::Memory ||
            node.kind == Kind::ProgramCounter || node.kind == Kind::Step) {
            return false;
        }
    }
    return true;
}

bool isValueFormat(char format) {
    return format == 'd' || format == 'x' || format == 't' || format == 'c';
}

std::string formatValue(std::int64_t value, char format) {
    const bool inWord = value >= std::numeric_limits<std::int32_t>::min() &&
                        value <= std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t bits =
        inWord ? static_cast<std::uint32_t>(value) : static_cast<std::uint64_t>(value);
    switch (format) {
        case 'x': {
            char text[24];
            std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(bits));
            return text;
        }
        case 't': {
            std::string text;
            for (std::uint64_t rest = bits; rest != 0; rest >>= 1) {
                text.insert(text.begin(), (rest & 1) != 0 ? '1' : '0');
            }
            return text.empty() ? "0" : text;
        }
        case 'c': {
            std::string text = std::to_string(value);
            if (value < 0 || value > 127) {
                return text + " (not a character)";
            }
            const char c = static_cast<char>(value);
            const char* escape = c == '\n'   ? "\\n"
                                 : c == '\t' ? "\\t"
                                 : c == '\r' ? "\\r"
                                 : c == '\0' ? "\\0"
                                 : c == '\'' ? "\\'"
                                 : c == '\\' ? "\\\\"
                                             : nullptr;
            if (escape != nullptr) {
                return text + " '" + escape + "'";
            }
            if (std::isprint(static_cast<unsigned char>(c)) == 0) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
                return text + " '" + hex + "'";
            }
            return text + " '" + c + "'";
        }
        default:
            return std::to_string(value);
    }
}

Word wordOf(std::int64_t value, std::string_view text) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::uint32_t>::max()) {
        throw ExpressionError("The value " + std::string(text) + " does not fit in a word.");
    }
    return Word(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

}  // namespace Vorn::Debug
