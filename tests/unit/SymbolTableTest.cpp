#include "assembly/SymbolTable.h"

#include <gtest/gtest.h>

#include <string>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {
namespace {

TEST(SymbolTable, ResolvesConstantsAndAliasChains) {
    SymbolTable symbols;
    symbols.bind("end", Value(65535));
    symbols.bind("x", Value(std::string("y")));
    symbols.bind("y", Value(3));
    symbols.bind("z", Value(std::string("end")));
    EXPECT_EQ(symbols.resolve("x"), 3);
    EXPECT_EQ(symbols.resolve("x"), 3);
    EXPECT_EQ(symbols.resolve("z"), 65535);
    EXPECT_EQ(Value(std::string("y")).resolve(symbols), 3);
    EXPECT_EQ(Value(-4).resolve(symbols), -4);
    EXPECT_TRUE(symbols.contains("x"));
    EXPECT_FALSE(symbols.contains("X"));
}

TEST(SymbolTable, NamesTheMissingEndOfAChain) {
    SymbolTable symbols;
    symbols.bind("x", Value(std::string("y")));
    symbols.bind("r", Value(std::string("A")));
    try {
        symbols.resolve("x");
        FAIL() << "no error";
    } catch (const UndefinedLabel& error) {
        EXPECT_EQ(error.missingName(), "y");
    }
    try {
        symbols.resolve("r");
        FAIL() << "no error";
    } catch (const UndefinedLabel& error) {
        EXPECT_EQ(error.missingName(), "A");
    }
}

std::string circularName(const SymbolTable& symbols, const char* start) {
    try {
        symbols.resolve(start);
    } catch (const CircularDefinition& error) {
        return error.missingName();
    }
    return "(no error)";
}

TEST(SymbolTable, ReportsTheFirstNameMetTwice) {
    SymbolTable symbols;
    symbols.bind("a", Value(std::string("b")));
    symbols.bind("b", Value(std::string("a")));
    symbols.bind("x", Value(std::string("a")));
    symbols.bind("self", Value(std::string("self")));
    EXPECT_EQ(circularName(symbols, "a"), "a");
    EXPECT_EQ(circularName(symbols, "b"), "b");
    EXPECT_EQ(circularName(symbols, "x"), "a");
    EXPECT_EQ(circularName(symbols, "self"), "self");
    EXPECT_EQ(circularName(symbols, "a"), "a") << "a second walk finds the cycle again";
}

TEST(SymbolTable, LongChainsResolveWithoutRecursion) {
    SymbolTable symbols;
    constexpr int length = 1000000;
    for (int i = 0; i < length; ++i) {
        symbols.bind("n" + std::to_string(i), Value("n" + std::to_string(i + 1)));
    }
    symbols.bind("n" + std::to_string(length), Value(42));
    EXPECT_EQ(symbols.resolve("n0"), 42);
    EXPECT_EQ(symbols.resolve("n500000"), 42);
}

// The last name Value resolved is remembered; a new binding or an emptied
// table must not leave a stale answer behind, nor may an error.
TEST(SymbolTable, RemembersNoStaleResolution) {
    SymbolTable symbols;
    const Value name(std::string("a"));
    const Value copy = name;
    EXPECT_THROW(name.resolve(symbols), UndefinedLabel);
    symbols.bind("a", Value(std::string("b")));
    EXPECT_THROW(copy.resolve(symbols), UndefinedLabel);
    symbols.bind("b", Value(1));
    EXPECT_EQ(name.resolve(symbols), 1);
    EXPECT_EQ(copy.resolve(symbols), 1);
    symbols.clear();
    symbols.bind("a", Value(2));
    EXPECT_EQ(copy.resolve(symbols), 2);
    EXPECT_EQ(Value(std::string("a")).resolve(symbols), 2);
}

TEST(SymbolTable, ClearEmptiesTheTable) {
    SymbolTable symbols;
    symbols.bind("a", Value(1));
    symbols.clear();
    EXPECT_EQ(symbols.size(), 0u);
    EXPECT_FALSE(symbols.contains("a"));
}

}  // namespace
}  // namespace Vorn::Assembly
