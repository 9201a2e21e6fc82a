// The debugger's expressions against one state of the machine: each text's
// value as print reads it and as x reads an address, or its one-line error.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "debug/Expression.h"
#include "debug/Session.h"

namespace Vorn::Debug {
namespace {

constexpr const char* source = R"(        load B first    ; B points at table
        jump end
:first  load A table
= size 5
:table  3
        7
)";

struct Case {
    const char* text;
    Expression::Reading reading;
    std::variant<std::int64_t, const char*> expected;  // a value, or the error
};

TEST(DebugExpression, ValuesAddressesAndErrors) {
    using enum Expression::Reading;
    Program program = Program::fromSource(source);
    ASSERT_FALSE(program.error());
    Session session(std::move(program), {});
    session.stepForward(1);
    const std::int64_t pointer = session.machine().registers.at(RegisterId::B).value();

    const Case cases[] = {
        {"table", Value, 3},
        {"table", Address, 3},
        {"&table", Value, 3},
        {"[table + 1]", Value, 7},
        {"*table", Value, 3},
        {"size", Value, 5},
        {"size", Address, 5},
        {"B", Value, pointer},
        {"B", Address, 3},
        {"[B]", Value, 3},
        {"[B + 1]", Value, 7},
        {"[first]", Address, 3},
        {"$pc + $step", Value, 2},
        {"1 + 2 == 3 && 4 > 3 || 0", Value, 1},
        {"!(table < 3) + -1", Value, 0},
        {"0x10 - 20", Value, -4},
        {"(table >= 3) == (7 <= [table + 1])", Value, 1},
        {"A", Address, "Register A holds 0, a word without an address field."},
        {"[[table]]", Value, "[3] holds 3, a word without an address field."},
        {"[70000]", Value, "Address 70000 is out of range (0 to 65535)."},
        {"tabel", Value, "No symbol \"tabel\" in the program; did you mean \"table\"?"},
        {"&size", Value,
         "\"size\" is a definition, not a label: it has no address (its value is 5)."},
        {"&A", Value, "\"A\" is a register: it has no address."},
        {"1 <", Value, "Cannot read the expression \"1 <\": a value is missing at the end."},
        {"1 < 2 < 3", Value, "Cannot read the expression \"1 < 2 < 3\": \"< 3\" is left over."},
        {"$sp", Value, "No convenience value \"$sp\" ($pc and $step are)."},
        // Control characters are written out: the message stays one whole line.
        {"A \x01== 1\n", Value,
         "Cannot read the expression \"A \\x01== 1\\n\": \"\\x01== 1\\n\" is left over."},
        {"", Value, "Cannot read the expression \"\": it is empty."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            const Expression expression = Expression::parse(c.text, session.program(), c.reading);
            const std::int64_t value = expression.evaluate(session.machine(), session.step());
            ASSERT_TRUE(std::holds_alternative<std::int64_t>(c.expected))
                << "no error, the value " << value;
            EXPECT_EQ(value, std::get<std::int64_t>(c.expected));
        } catch (const ExpressionError& failure) {
            ASSERT_TRUE(std::holds_alternative<const char*>(c.expected)) << failure.what();
            EXPECT_EQ(std::string(failure.what()), std::get<const char*>(c.expected));
        }
    }
}

// A script's line, however long or deep, gets one error and no crash.
TEST(DebugExpression, DeepAndLongExpressionsAreRefused) {
    Session session(Program::fromSource(source), {});
    const auto errorOf = [&session](const std::string& text) {
        try {
            Expression::parse(text, session.program()).evaluate(session.machine(), 0);
        } catch (const ExpressionError& failure) {
            return std::string(failure.what());
        }
        return std::string();
    };
    EXPECT_NE(errorOf(std::string(100000, '(') + "1").find("nested more than 100 deep"),
              std::string::npos);
    EXPECT_NE(errorOf(std::string(100000, '-') + "1").find("nested more than 100 deep"),
              std::string::npos);
    EXPECT_NE(errorOf(std::string(100000, '[') + "1").find("nested more than 100 deep"),
              std::string::npos);
    std::string sum = "1";
    for (int i = 0; i < 100000; ++i) {
        sum += "+1";
    }
    EXPECT_NE(errorOf(sum).find("more than 1000 parts"), std::string::npos);
    EXPECT_EQ(errorOf(std::string(99, '(') + "1" + std::string(99, ')')), "");
}

TEST(DebugExpression, FormatsOfAValue) {
    EXPECT_EQ(formatValue(-1, 'x'), "0xFFFFFFFF");
    EXPECT_EQ(formatValue(42, 'x'), "0x2A");
    EXPECT_EQ(formatValue(5, 't'), "101");
    EXPECT_EQ(formatValue(0, 't'), "0");
    EXPECT_EQ(formatValue(-1, 't'), std::string(32, '1'));
    EXPECT_EQ(formatValue(65, 'c'), "65 'A'");
    EXPECT_EQ(formatValue(9, 'c'), "9 '\\t'");
    EXPECT_EQ(formatValue(1, 'c'), "1 '\\x01'");
    EXPECT_EQ(formatValue(200, 'c'), "200 (not a character)");
    EXPECT_EQ(formatValue(-7, 'd'), "-7");
}

}  // namespace
}  // namespace Vorn::Debug
