#include "machine/InstructionSet.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Vorn {
namespace {

TEST(InstructionSet, ShapeColumnsMatchTheOperandForms) {
    // first register, second register, address, in opcode order
    const std::string r1 = "0111111111111000";
    const std::string r2 = "0001100000000000";
    const std::string address = "0110000000011100";
    for (std::size_t op = 0; op < operationCount; ++op) {
        EXPECT_EQ(operationHasRegister1[op], r1[op] == '1') << operationNames[op];
        EXPECT_EQ(operationHasRegister2[op], r2[op] == '1') << operationNames[op];
        EXPECT_EQ(operationHasAddress[op], address[op] == '1') << operationNames[op];
    }
    EXPECT_EQ(operationNames[0], "noop");
    EXPECT_EQ(operationNames[15], "write");
}

TEST(InstructionSet, NameMapsHoldSixteenEntriesEachAfterRepeatedInit) {
    initNameMaps();
    initNameMaps();
    EXPECT_TRUE(nameMapsReady());
    EXPECT_EQ(operationByName().size(), 16u);
    EXPECT_EQ(registerByName().size(), 16u);
    for (std::size_t i = 0; i < operationCount; ++i) {
        EXPECT_EQ(operationByName(operationNames[i]), static_cast<Operation>(i));
        EXPECT_EQ(registerByName(registerNames[i]), static_cast<RegisterId>(i));
        EXPECT_FALSE(isRegisterName(operationNames[i]));
        EXPECT_FALSE(isOperationName(registerNames[i]));
    }
}

TEST(InstructionSet, NamesCompareExactly) {
    initNameMaps();
    for (const char* name : {"Q", "AB", "a", "", "LOAD", "Load", "end", "loadA", " load"}) {
        EXPECT_FALSE(isOperationName(name) || isRegisterName(name)) << '"' << name << '"';
    }
    EXPECT_TRUE(isOperationName("storei"));
    EXPECT_TRUE(isRegisterName("P"));
}

// The fast lookups must give exactly the maps' answers, also for names that
// share a prefix with an operation name or pack into the same bytes.
TEST(InstructionSet, FastLookupsAgreeWithTheMaps) {
    initNameMaps();
    std::vector<std::string> names = {
        "",      "A",      "P",       "Q",        "@",        "a",  "AA", "loa", "loadi", "loadii",
        "Loadi", "storei", "storeiA", "writewri", "jumpjump", "jz", "j",  "_",   "noop_", "end"};
    names.emplace_back(std::string("load\0", 5));
    names.emplace_back(std::string("A\0", 2));
    names.emplace_back(std::string("\0", 1));
    for (const auto& [name, op] : operationByName()) {
        names.push_back(name);
        names.push_back(name + "x");
        names.push_back(name.substr(0, name.size() - 1));
    }
    for (const std::string& name : names) {
        const auto operation = operationByName().find(name);
        const auto reg = registerByName().find(name);
        const std::optional<Operation> expectedOperation =
            operation == operationByName().end() ? std::nullopt : std::optional(operation->second);
        const std::optional<RegisterId> expectedRegister =
            reg == registerByName().end() ? std::nullopt : std::optional(reg->second);
        EXPECT_EQ(findOperation(name), expectedOperation) << '"' << name << '"';
        EXPECT_EQ(findRegister(name), expectedRegister) << '"' << name << '"';
    }
}

TEST(InstructionSet, SuccessorWrapsFromFifteenToZero) {
    Operation op = Operation::Write;
    EXPECT_EQ(op++, Operation::Write);
    EXPECT_EQ(op, Operation::Noop);
    RegisterId reg = RegisterId::O;
    reg++;
    EXPECT_EQ(reg, RegisterId::P);
    reg++;
    EXPECT_EQ(reg, RegisterId::A);
}

}  // namespace
}  // namespace Vorn
