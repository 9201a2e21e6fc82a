#include "compile/WasmRun.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "machine/Machine.h"

namespace Vorn::Compile {

namespace {

// The WebAssembly binary format's codes that the function uses.
namespace Op {
constexpr std::uint8_t block = 0x02, loop = 0x03, if_ = 0x04, end = 0x0B, br = 0x0C, brTable = 0x0E;
constexpr std::uint8_t localGet = 0x20, localSet = 0x21;
constexpr std::uint8_t i32Load = 0x28, i64Load = 0x29, i32Load8u = 0x2D, i32Store = 0x36,
                       i64Store = 0x37;
constexpr std::uint8_t i32Const = 0x41, i64Const = 0x42;
constexpr std::uint8_t i32Eqz = 0x45, i32Eq = 0x46, i32LtS = 0x48, i64GeU = 0x5A;
constexpr std::uint8_t i32Add = 0x6A, i32Sub = 0x6B, i32And = 0x71, i32Xor = 0x73, i32Shl = 0x74,
                       i32ShrU = 0x76, i64Add = 0x7C, i64Sub = 0x7D, i64ExtendI32U = 0xAD;
constexpr std::uint8_t emptyBlock = 0x40, i32 = 0x7F, i64 = 0x7E;
}  // namespace Op

// The function's locals: the parameter (the RunState's address), the
// sixteen registers, then the rest.
constexpr std::uint32_t stateLocal = 0;
constexpr std::uint32_t firstRegisterLocal = 1;
constexpr std::uint32_t pcLocal = 17, stopsLocal = 18, pointerLocal = 19, endLocal = 20;
constexpr std::uint32_t i32Locals = 20;  // locals 1 to 20
constexpr std::uint32_t biasLocal = 21, limitLocal = 22;
constexpr std::uint32_t i64Locals = 2;

constexpr std::uint32_t limitOffset = offsetof(RunState, limit);
constexpr std::uint32_t stepsOffset = offsetof(RunState, steps);
constexpr std::uint32_t pcOffset = offsetof(RunState, pc);
constexpr std::uint32_t stopsOffset = offsetof(RunState, stops);

class Bytes {
  public:
    void byte(std::uint8_t b) { bytes_.push_back(b); }
    void u32(std::uint32_t value) {
        do {
            std::uint8_t b = value & 0x7F;
            value >>= 7;
            if (value != 0) {
                b |= 0x80;
            }
            byte(b);
        } while (value != 0);
    }
    void s64(std::int64_t value) {
        while (true) {
            const std::uint8_t b = static_cast<std::uint8_t>(value) & 0x7F;
            value >>= 7;  // arithmetic
            if ((value == 0 && (b & 0x40) == 0) || (value == -1 && (b & 0x40) != 0)) {
                byte(b);
                return;
            }
            byte(b | 0x80);
        }
    }
    void name(std::string_view text) {
        u32(static_cast<std::uint32_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void append(const Bytes& other) {
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

// The function's code, with the labels of its blocks by name, so that a
// branch names where it goes and the depth is worked out here.
class Code {
  public:
    using Label = std::uint32_t;

    void open(std::uint8_t kind, Label label) {
        code_.byte(kind);
        code_.byte(Op::emptyBlock);
        labels_.push_back(label);
    }
    void close() {
        code_.byte(Op::end);
        labels_.pop_back();
    }
    std::uint32_t depth(Label label) const {
        const auto found = std::find(labels_.rbegin(), labels_.rend(), label);
        return static_cast<std::uint32_t>(found - labels_.rbegin());
    }
    void br(Label label) {
        code_.byte(Op::br);
        code_.u32(depth(label));
    }
    void get(std::uint32_t local) {
        code_.byte(Op::localGet);
        code_.u32(local);
    }
    void set(std::uint32_t local) {
        code_.byte(Op::localSet);
        code_.u32(local);
    }
    void i32(std::int32_t value) {
        code_.byte(Op::i32Const);
        code_.s64(value);
    }
    void i64(std::int64_t value) {
        code_.byte(Op::i64Const);
        code_.s64(value);
    }
    void op(std::uint8_t code) { code_.byte(code); }
    // A load or store with its alignment (log 2) and constant offset.
    void memory(std::uint8_t code, std::uint32_t alignment, std::uint32_t offset) {
        code_.byte(code);
        code_.u32(alignment);
        code_.u32(offset);
    }
    void table(const std::vector<Label>& targets, Label otherwise) {
        code_.byte(Op::brTable);
        code_.u32(static_cast<std::uint32_t>(targets.size()));
        for (const Label target : targets) {
            code_.u32(depth(target));
        }
        code_.u32(depth(otherwise));
    }
    Bytes& bytes() { return code_; }

  private:
    Bytes code_;
    std::vector<Label> labels_;
};

// A run of this many noops or more (the empty memory after a program that
// runs off its end, on to the halt) is left to the run loop: compiled, it
// would make the function as wide as the memory.
constexpr std::uint32_t longestNoops = 32;

bool startsNoops(const Word* memory, std::uint32_t address) {
    for (std::uint32_t i = 0; i < longestNoops; ++i) {
        if (address + i >= Machine::haltAddress ||
            static_cast<Operation>(Word::opcodeOf(memory[address + i].bits())) != Operation::Noop) {
            return false;
        }
    }
    return true;
}

// The instructions reachable from `pc`: each one's successors by its flow,
// a step aside going on to the next address as any other; not the halt
// address, a long run of noops, nor an address flagged in `data`.
std::vector<std::uint16_t> reachableFrom(const Word* memory, std::uint16_t pc,
                                         const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> seen(Machine::memorySize, 0);
    std::vector<std::uint16_t> addresses;
    std::vector<std::uint16_t> work{pc};
    while (!work.empty()) {
        const std::uint16_t address = work.back();
        work.pop_back();
        if (address == Machine::haltAddress || seen[address] != 0 || data[address] != 0 ||
            startsNoops(memory, address)) {
            continue;
        }
        seen[address] = 1;
        addresses.push_back(address);
        const std::uint32_t bits = memory[address].bits();
        const Flow flow = operationTable[Word::opcodeOf(bits)].flow;
        if (flow != Flow::Jump) {
            work.push_back(static_cast<std::uint16_t>(address + 1));
        }
        if (flow != Flow::Next) {
            work.push_back(Word::addressOf(bits));
        }
    }
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

// The instructions to compile: those reachable, less the words that a
// reachable store writes (a variable after a conditional jump, which control
// could reach but a program only stores into). Compiled, each store there
// would change the code; left out, control that reaches one leaves the
// function. Of what remains, no store writes into the code.
std::vector<std::uint16_t> codeFrom(const Word* memory, std::uint16_t pc) {
    std::vector<std::uint8_t> data(Machine::memorySize, 0);
    for (const std::uint16_t address : reachableFrom(memory, pc, data)) {
        const std::uint32_t bits = memory[address].bits();
        if (static_cast<Operation>(Word::opcodeOf(bits)) == Operation::Store) {
            data[Word::addressOf(bits)] = 1;
        }
    }
    return reachableFrom(memory, pc, data);
}

class Generator {
  public:
    Generator(const Word* memory, const Layout& layout, const std::vector<std::uint16_t>& addresses)
        : memory_(memory),
          layout_(layout),
          first_(addresses.front()),
          span_(static_cast<std::uint32_t>(addresses.back() - addresses.front() + 1)),
          compiled_(span_, 0) {
        for (const std::uint16_t address : addresses) {
            compiled_[address - first_] = 1;
        }
    }

    Bytes function() {
        prologue();
        code_.open(Op::block, exitLabel);
        code_.open(Op::loop, dispatchLabel);
        code_.open(Op::block, pastLabel);
        for (std::uint32_t i = span_; i-- > 0;) {
            code_.open(Op::block, addressLabel(i));
        }
        // To the code of the program counter's address.
        code_.get(pcLocal);
        code_.i32(static_cast<std::int32_t>(first_));
        code_.op(Op::i32Sub);
        std::vector<Code::Label> targets;
        for (std::uint32_t i = 0; i < span_; ++i) {
            targets.push_back(addressLabel(i));
        }
        code_.table(targets, pastLabel);
        for (std::uint32_t i = 0; i < span_; ++i) {
            code_.close();
            const std::uint32_t address = first_ + i;
            if (compiled_[i] != 0) {
                instruction(address);
            } else {
                leave(address, RunState::Left);
            }
        }
        // Past the last address (only ever the halt address: the next
        // address of every compiled instruction is compiled), or a program
        // counter outside them on entry.
        setPc(first_ + span_);
        code_.close();  // past
        code_.get(pcLocal);
        code_.i32(Machine::haltAddress);
        code_.op(Op::i32Eq);
        code_.open(Op::if_, ifLabel);
        setEnd(RunState::Halted);
        code_.br(exitLabel);
        code_.close();
        setEnd(RunState::Left);
        code_.close();  // the loop: falls out of it
        code_.close();  // exit
        epilogue();
        code_.op(Op::end);

        Bytes body;
        body.u32(2);
        body.u32(i32Locals);
        body.byte(Op::i32);
        body.u32(i64Locals);
        body.byte(Op::i64);
        body.append(code_.bytes());
        return body;
    }

  private:
    static constexpr Code::Label exitLabel = 0, dispatchLabel = 1, pastLabel = 2, ifLabel = 3;
    static Code::Label addressLabel(std::uint32_t i) { return 4 + i; }

    static std::uint32_t registerLocal(unsigned reg) { return firstRegisterLocal + reg; }

    void prologue() {
        code_.get(stateLocal);
        code_.memory(Op::i64Load, 3, limitOffset);
        code_.set(limitLocal);
        code_.get(stateLocal);
        code_.memory(Op::i32Load, 2, pcOffset);
        code_.set(pcLocal);
        code_.get(stateLocal);
        code_.memory(Op::i32Load, 2, stopsOffset);
        code_.set(stopsLocal);
        // The steps run are bias + pc: 0 now.
        code_.i64(0);
        code_.get(pcLocal);
        code_.op(Op::i64ExtendI32U);
        code_.op(Op::i64Sub);
        code_.set(biasLocal);
        for (unsigned reg = 0; reg < registerCount; ++reg) {
            code_.i32(0);
            code_.memory(Op::i32Load, 2, layout_.registers + 4 * reg);
            code_.set(registerLocal(reg));
        }
    }

    void epilogue() {
        for (unsigned reg = 0; reg < registerCount; ++reg) {
            code_.i32(0);
            code_.get(registerLocal(reg));
            code_.memory(Op::i32Store, 2, layout_.registers + 4 * reg);
        }
        code_.get(stateLocal);
        code_.get(biasLocal);
        code_.get(pcLocal);
        code_.op(Op::i64ExtendI32U);
        code_.op(Op::i64Add);
        code_.memory(Op::i64Store, 3, stepsOffset);
        code_.get(stateLocal);
        code_.get(pcLocal);
        code_.memory(Op::i32Store, 2, pcOffset);
        code_.get(endLocal);
    }

    void setPc(std::uint32_t address) {
        code_.i32(static_cast<std::int32_t>(address));
        code_.set(pcLocal);
    }
    void setEnd(RunState::End end) {
        code_.i32(static_cast<std::int32_t>(end));
        code_.set(endLocal);
    }
    // Leaves the function with the program counter at `address`.
    void leave(std::uint32_t address, RunState::End end) {
        setPc(address);
        setEnd(end);
        code_.br(exitLabel);
    }
    // The code that follows runs only when the value on the stack is not 0.
    void leaveIf(std::uint32_t address, RunState::End end) {
        code_.open(Op::if_, ifLabel);
        leave(address, end);
        code_.close();
    }

    bool isCompiled(std::uint32_t address) const {
        return address >= first_ && address - first_ < span_ && compiled_[address - first_] != 0;
    }

    // Pushes whether the register's word has no address field.
    void pushNoAddress(unsigned reg) {
        std::int32_t mask = 0;
        for (std::size_t op = 0; op < operationCount; ++op) {
            if (operationHasAddress[op]) {
                mask |= std::int32_t{1} << op;
            }
        }
        code_.i32(mask);
        code_.get(registerLocal(reg));
        code_.i32(Word::opcodeShift);
        code_.op(Op::i32ShrU);
        code_.op(Op::i32ShrU);
        code_.i32(1);
        code_.op(Op::i32And);
        code_.op(Op::i32Eqz);
    }
    // Pushes the byte address of the word the register's address field names.
    void pushPointedWord(unsigned reg) {
        code_.get(registerLocal(reg));
        code_.i32(static_cast<std::int32_t>(Word::addressMask << Word::addressShift));
        code_.op(Op::i32And);
        if constexpr (Word::addressShift != 2) {
            if constexpr (Word::addressShift < 2) {
                code_.i32(2 - static_cast<std::int32_t>(Word::addressShift));
                code_.op(Op::i32Shl);
            } else {
                code_.i32(static_cast<std::int32_t>(Word::addressShift) - 2);
                code_.op(Op::i32ShrU);
            }
        }
    }
    // reg = reg OP other.
    void combine(unsigned reg, std::uint8_t op, unsigned other) {
        code_.get(registerLocal(reg));
        code_.get(registerLocal(other));
        code_.op(op);
        code_.set(registerLocal(reg));
    }
    // reg = reg OP value.
    void update(unsigned reg, std::uint8_t op, std::int32_t value) {
        code_.get(registerLocal(reg));
        code_.i32(value);
        code_.op(op);
        code_.set(registerLocal(reg));
    }

    // A jump taken from `address` to `target`, as the run loop counts it.
    void jump(std::uint32_t address, std::uint32_t target) {
        const std::uint32_t next = address + 1;
        if (target != next) {
            code_.get(biasLocal);
            code_.i64(static_cast<std::int64_t>(next) - static_cast<std::int64_t>(target));
            code_.op(Op::i64Add);
            code_.set(biasLocal);
        }
        if (target == Machine::haltAddress) {
            leave(target, RunState::Halted);
            return;
        }
        if (target <= address) {
            // Back: the limit, then through the table.
            code_.get(biasLocal);
            code_.i64(target);
            code_.op(Op::i64Add);
            code_.get(limitLocal);
            code_.op(Op::i64GeU);
            leaveIf(target, RunState::StepLimit);
            setPc(target);
            code_.br(dispatchLabel);
            return;
        }
        if (!isCompiled(target)) {
            leave(target, RunState::Left);
            return;
        }
        if (target != next) {
            code_.br(addressLabel(target - first_));
        }
    }

    void instruction(std::uint32_t address) {
        // A stop before it runs.
        code_.get(stopsLocal);
        code_.memory(Op::i32Load8u, 0, address);
        leaveIf(address, RunState::Stopped);

        const std::uint32_t bits = memory_[address].bits();
        const auto operation = static_cast<Operation>(Word::opcodeOf(bits));
        const OperationShape& shape = shapeOf(operation);
        if (shape.io != InputOutput::None) {
            leave(address, RunState::Aside);
            return;
        }
        const unsigned r1 = Word::register1Of(bits);
        const unsigned r2 = Word::register2Of(bits);
        const std::uint32_t target = Word::addressOf(bits);
        const std::uint32_t targetWord = layout_.memory + 4 * target;
        if (shape.hasRegister2) {
            // loadi and storei: a pointer without an address faults.
            pushNoAddress(r2);
            leaveIf(address, RunState::Aside);
        }
        const auto accumulator = static_cast<unsigned>(accumulatorRegister);
        switch (operation) {
            case Operation::Noop:
                break;
            case Operation::Load:
                code_.i32(0);
                code_.memory(Op::i32Load, 2, targetWord);
                code_.set(registerLocal(r1));
                break;
            case Operation::Store:
                // Never, as compiled (see codeFrom); if it did, the code would change.
                if (isCompiled(target)) {
                    leave(address, RunState::Aside);
                    return;
                }
                code_.i32(0);
                code_.get(registerLocal(r1));
                code_.memory(Op::i32Store, 2, targetWord);
                break;
            case Operation::Loadi:
                pushPointedWord(r2);
                code_.memory(Op::i32Load, 2, layout_.memory);
                code_.set(registerLocal(r1));
                break;
            case Operation::Storei:
                // Into a compiled instruction: the code changes.
                pushPointedWord(r2);
                code_.set(pointerLocal);
                code_.get(pointerLocal);
                code_.i32(2);
                code_.op(Op::i32ShrU);
                code_.memory(Op::i32Load8u, 0, layout_.code);
                leaveIf(address, RunState::Changes);
                code_.get(pointerLocal);
                code_.get(registerLocal(r1));
                code_.memory(Op::i32Store, 2, layout_.memory);
                break;
            case Operation::Add:
                combine(accumulator, Op::i32Add, r1);
                break;
            case Operation::Sub:
                combine(accumulator, Op::i32Sub, r1);
                break;
            case Operation::Zero:
                code_.i32(0);
                code_.set(registerLocal(r1));
                break;
            case Operation::Incr:
                update(r1, Op::i32Add, 1);
                break;
            case Operation::Decr:
                update(r1, Op::i32Sub, 1);
                break;
            case Operation::Neg:
                update(r1, Op::i32Xor, -1);
                break;
            case Operation::Jz:
                code_.get(registerLocal(r1));
                code_.op(Op::i32Eqz);
                code_.open(Op::if_, ifLabel);
                jump(address, target);
                code_.close();
                break;
            case Operation::Jn:
                code_.get(registerLocal(r1));
                code_.i32(0);
                code_.op(Op::i32LtS);
                code_.open(Op::if_, ifLabel);
                jump(address, target);
                code_.close();
                break;
            case Operation::Jump:
                jump(address, target);
                return;
            case Operation::Read:
            case Operation::Write:
                break;  // aside, above
        }
        // On to the next address: the code that follows, or past the last
        // (after 0xFFFE, the halt).
    }

    const Word* memory_;
    Layout layout_;
    std::uint32_t first_;
    std::uint32_t span_;
    std::vector<std::uint8_t> compiled_;
    Code code_;
};

void section(Bytes& module, std::uint8_t id, const Bytes& contents) {
    module.byte(id);
    module.u32(contents.size());
    module.append(contents);
}

}  // namespace

std::optional<CompiledRun> compileRun(const Word* memory, std::uint16_t pc, const Layout& layout,
                                      std::uint32_t maxSpan) {
    if (pc == Machine::haltAddress) {
        return std::nullopt;
    }
    CompiledRun run;
    run.addresses = codeFrom(memory, pc);
    if (run.addresses.empty() ||
        static_cast<std::uint32_t>(run.addresses.back() - run.addresses.front()) + 1 > maxSpan) {
        return std::nullopt;
    }
    for (const std::uint16_t address : run.addresses) {
        run.words.push_back(memory[address]);
    }

    Bytes module;
    // The magic number and the version.
    constexpr std::uint8_t header[] = {0x00, 0x61, 0x73, 0x6D, 0x01, 0x00, 0x00, 0x00};
    for (const std::uint8_t b : header) {
        module.byte(b);
    }
    Bytes types;  // (i32) -> i32
    types.u32(1);
    types.byte(0x60);
    types.u32(1);
    types.byte(Op::i32);
    types.u32(1);
    types.byte(Op::i32);
    section(module, 1, types);
    Bytes imports;  // the memory, env.memory
    imports.u32(1);
    imports.name("env");
    imports.name("memory");
    imports.byte(0x02);
    imports.byte(0x00);
    imports.u32(0);
    section(module, 2, imports);
    Bytes functions;
    functions.u32(1);
    functions.u32(0);
    section(module, 3, functions);
    Bytes exports;
    exports.u32(1);
    exports.name("run");
    exports.byte(0x00);
    exports.u32(0);
    section(module, 7, exports);
    Bytes body = Generator(memory, layout, run.addresses).function();
    Bytes code;
    code.u32(1);
    code.u32(body.size());
    code.append(body);
    section(module, 10, code);
    run.module = module.take();
    return run;
}

}  // namespace Vorn::Compile
