#include "assembly/SymbolTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembly/MemoryImage.h"
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

std::string circularName(SymbolTable& symbols, const char* start) {
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

// Cells keep the ids of the names they use: an id must keep naming its name
// while the table grows, and a name met before its binding must resolve once
// it is bound.
TEST(SymbolTable, InternedNamesKeepTheirIdsAsTheTableGrows) {
    SymbolTable symbols;
    const SymbolId early = symbols.intern("later");
    EXPECT_FALSE(symbols.contains("later"));
    EXPECT_THROW(symbols.resolve(early), UndefinedLabel);
    std::vector<SymbolId> ids;
    constexpr int count = 100000;
    for (int i = 0; i < count; ++i) {
        ids.push_back(symbols.intern("n" + std::to_string(i)));
    }
    for (int i = 0; i < count; i += 7) {
        symbols.bind("n" + std::to_string(i), Value(i));
    }
    symbols.bind("later", Value(std::string("n70")));
    EXPECT_EQ(symbols.intern("later"), early);
    EXPECT_EQ(symbols.resolve(early), 70);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(symbols.name(ids[static_cast<std::size_t>(i)]), "n" + std::to_string(i));
        ASSERT_EQ(symbols.intern("n" + std::to_string(i)), ids[static_cast<std::size_t>(i)]);
        ASSERT_EQ(symbols.contains("n" + std::to_string(i)), i % 7 == 0);
    }
    EXPECT_EQ(symbols.size(), static_cast<std::size_t>(count / 7 + 2));
    EXPECT_EQ(symbols.lookup("later").name(), "n70");

    symbols.clear();
    EXPECT_FALSE(symbols.contains("n0"));
    EXPECT_THROW(symbols.resolve("later"), UndefinedLabel);
    EXPECT_EQ(symbols.size(), 0u);
    const SymbolId again = symbols.intern("n5");
    symbols.bind("n5", Value(5));
    EXPECT_EQ(symbols.resolve(again), 5) << "a cleared table serves new names";
}

TEST(PendingWord, FillsTheAddressWithTheLowSixteenBitsOfItsName) {
    SymbolTable symbols;
    symbols.bind("far", Value(70000));
    symbols.bind("near", Value(std::string("far")));
    Word jump;
    jump.setOperation(Operation::Jump);
    const PendingWord pending(jump, symbols.intern("near"));
    EXPECT_EQ(pending.resolvedWord(symbols).bits(), 0xD0001170u);  // 70000 - 65536 = 0x1170
    EXPECT_EQ(pending.word.bits(), 0xD0000000u) << "the pending word itself is unchanged";
    EXPECT_EQ(PendingWord(jump).resolvedWord(symbols).bits(), 0xD0000000u);

    const PendingWord missing(jump, symbols.intern("nowhere"));
    EXPECT_THROW(missing.resolvedWord(symbols), UndefinedLabel);
}

// resolveAll gives every name what resolve would, failures too, and walks
// each chain once: a long cycle, with names leading into it, is linear.
TEST(SymbolTable, ResolvesEveryNameAsResolveWould) {
    SymbolTable all;
    SymbolTable one;
    constexpr int cycle = 200000;
    for (SymbolTable* symbols : {&all, &one}) {
        for (int i = 0; i < cycle; ++i) {
            symbols->bind("c" + std::to_string(i), Value("c" + std::to_string((i + 1) % cycle)));
        }
        symbols->bind("into", Value(std::string("c7")));
        symbols->bind("toMissing", Value(std::string("missing")));
        symbols->bind("number", Value(std::string("n")));
        symbols->bind("n", Value(5));
    }
    all.resolveAll();
    using Kind = SymbolTable::Outcome::Kind;
    const auto outcomeOf = [&](const std::string& name) {
        const SymbolTable::Outcome outcome = all.outcome(*all.idOf(name));
        return outcome.kind == Kind::Number
                   ? std::to_string(outcome.number)
                   : (outcome.kind == Kind::Undefined ? "undefined " : "circular ") +
                         std::string(all.name(outcome.named));
    };
    EXPECT_EQ(outcomeOf("c0"), "circular c0");
    EXPECT_EQ(outcomeOf("c12345"), "circular c12345");
    EXPECT_EQ(outcomeOf("into"), "circular c7");
    EXPECT_EQ(outcomeOf("toMissing"), "undefined missing");
    EXPECT_EQ(outcomeOf("number"), "5");
    EXPECT_EQ(circularName(one, "into"), "c7");
    EXPECT_EQ(circularName(one, "c99"), "c99");
}

TEST(SymbolTable, BindSaysWhetherItBoundTheName) {
    SymbolTable symbols;
    EXPECT_TRUE(symbols.bind("a", Value(1)));
    EXPECT_FALSE(symbols.bind("a", Value(2)));
    EXPECT_EQ(symbols.resolve("a"), 1);
    // A failure is forgotten once a binding mends the chain.
    EXPECT_TRUE(symbols.bind("b", Value(std::string("c"))));
    EXPECT_THROW(symbols.resolve("b"), UndefinedLabel);
    EXPECT_TRUE(symbols.bind("c", Value(3)));
    EXPECT_EQ(symbols.resolve("b"), 3);
}

}  // namespace
}  // namespace Vorn::Assembly
