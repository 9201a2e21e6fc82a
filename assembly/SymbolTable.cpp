#include "assembly/SymbolTable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {

namespace {

// Room made at once: the names of a large program fit without regrowing, and
// room never used costs nothing (the pages are never touched).
constexpr std::size_t initialSlots = 4096;
constexpr std::size_t reservedSymbols = 1 << 16;
constexpr std::size_t reservedNameText = 1 << 20;

// Eight bytes at a time, mixed with multiplications: names are short.
std::uint64_t hashOf(std::string_view name) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ name.size();
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, name.data() + i, sizeof word);
        hash = (hash ^ word) * 0xBF58476D1CE4E5B9ULL;
        hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    for (std::size_t shift = 0; i < name.size(); ++i, shift += 8) {
        tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << shift;
    }
    hash = (hash ^ tail) * 0x94D049BB133111EBULL;
    return hash ^ (hash >> 32);
}

// The same text: inline, eight bytes at a time, for names this short a call
// to memcmp costs more than the compare.
bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        std::uint64_t left;
        std::uint64_t right;
        std::memcpy(&left, a.data() + i, sizeof left);
        std::memcpy(&right, b.data() + i, sizeof right);
        if (left != right) {
            return false;
        }
    }
    for (; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// What a slot keeps of a name's hash: its low bits choose the slot, and the
// rest skips most comparisons of text, also after the table has grown.
std::uint32_t tagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32);
}

}  // namespace

SymbolTable::SymbolTable() : slots_(initialSlots) {
    static_assert(sizeof(Symbol) == 16, "resolution visits the symbols in no order");
    symbols_.reserve(reservedSymbols);
    nameRefs_.reserve(reservedSymbols);
    names_.reserve(reservedNameText);
}

void SymbolTable::clear() {
    // The room reserved stays; an Assembler that assembles many sources (a
    // fuzzer's) keeps no names from one to the next.
    names_.clear();
    nameRefs_.clear();
    symbols_.clear();
    slots_.assign(initialSlots, Slot{});
    boundCount_ = 0;
    chain_.clear();
    failuresKept_ = false;
}

[[gnu::always_inline]] inline std::size_t SymbolTable::probe(std::string_view name,
                                                             std::uint32_t tag) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = tag & mask;
    for (; slots_[i].idPlusOne != 0; i = (i + 1) & mask) {
        const auto id = static_cast<SymbolId>(slots_[i].idPlusOne - 1);
        if (slots_[i].hashTag == tag && sameText(this->name(id), name)) {
            break;
        }
    }
    return i;
}

const SymbolTable::Symbol* SymbolTable::find(std::string_view name) const {
    const Slot& slot = slots_[probe(name, tagOf(hashOf(name)))];
    return slot.idPlusOne == 0 ? nullptr : &symbols_[slot.idPlusOne - 1];
}

SymbolId SymbolTable::intern(std::string_view name) {
    const std::uint32_t tag = tagOf(hashOf(name));
    const std::size_t i = probe(name, tag);
    if (slots_[i].idPlusOne != 0) {
        return static_cast<SymbolId>(slots_[i].idPlusOne - 1);
    }
    // Ids, offsets and lengths are 32-bit: 4 GB of names is as far as it goes.
    constexpr std::size_t largest = std::numeric_limits<std::uint32_t>::max() - 1;
    if (symbols_.size() >= largest || name.size() > largest - names_.size()) {
        throw std::bad_alloc();
    }
    const auto id = static_cast<SymbolId>(symbols_.size());
    symbols_.emplace_back();
    nameRefs_.push_back(
        {static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size())});
    names_.append(name);
    slots_[i] = Slot{tag, static_cast<std::uint32_t>(id) + 1};
    if (2 * symbols_.size() > slots_.size()) {
        grow();
    }
    return id;
}

void SymbolTable::grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.idPlusOne == 0) {
            continue;
        }
        std::size_t i = slot.hashTag & mask;
        while (slots_[i].idPlusOne != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}

std::optional<SymbolId> SymbolTable::idOf(std::string_view name) const {
    const Symbol* symbol = find(name);
    if (symbol == nullptr) {
        return std::nullopt;
    }
    return static_cast<SymbolId>(symbol - symbols_.data());
}

bool SymbolTable::contains(std::string_view name) const {
    const Symbol* symbol = find(name);
    return symbol != nullptr && symbol->bound;
}

bool SymbolTable::bind(std::string_view name, const Value& value) {
    return bind(intern(name), value);
}

bool SymbolTable::bind(SymbolId id, const Value& value) {
    if (at(id).bound) {
        return false;
    }
    if (failuresKept_) {
        // A new binding may mend a chain that failed: forget the failures.
        for (Symbol& symbol : symbols_) {
            if (symbol.state == State::Undefined || symbol.state == State::Circular) {
                symbol.state = State::Unresolved;
            }
        }
        failuresKept_ = false;
    }
    if (value.isNumber()) {
        at(id).number = value.number();
        at(id).state = State::Number;
    } else {
        // Interning may move the symbols: look the bound one up afterwards.
        const SymbolId alias = intern(value.name());
        at(id).alias = alias;
        at(id).isAlias = true;
    }
    at(id).bound = true;
    ++boundCount_;
    return true;
}

Value SymbolTable::valueOf(const Symbol& symbol) const {
    return symbol.isAlias ? Value(std::string(name(symbol.alias))) : Value(symbol.number);
}

Value SymbolTable::lookup(std::string_view name) const {
    return valueOf(*find(name));
}

std::int32_t SymbolTable::resolve(std::string_view name) {
    const Symbol* symbol = find(name);
    if (symbol == nullptr) {
        throw UndefinedLabel(std::string(name));
    }
    return resolve(static_cast<SymbolId>(symbol - symbols_.data()));
}

std::int32_t SymbolTable::resolveWalked(SymbolId id) {
    if (at(id).state == State::Unresolved) {
        walk(id);
    }
    const Symbol& symbol = at(id);
    const auto named = static_cast<SymbolId>(symbol.number);
    switch (symbol.state) {
        case State::Undefined:
            throw UndefinedLabel(std::string(name(named)));
        case State::Circular:
            throw CircularDefinition(std::string(name(named)));
        default:
            return symbol.number;
    }
}

void SymbolTable::resolveAll() {
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
        if (symbols_[i].bound && symbols_[i].state == State::Unresolved) {
            walk(static_cast<SymbolId>(i));
        }
    }
}

SymbolTable::Outcome SymbolTable::outcome(SymbolId id) const {
    const Symbol& symbol = at(id);
    using Kind = Outcome::Kind;
    const auto named = static_cast<SymbolId>(symbol.number);
    switch (symbol.state) {
        case State::Number:
            return {Kind::Number, symbol.number, id};
        case State::Undefined:
            return {Kind::Undefined, 0, named};
        case State::Circular:
            return {Kind::Circular, 0, named};
        case State::Unresolved:
            break;
    }
    return {};
}

// Follows the aliases from `start` until a name whose outcome is known, an
// unbound name, or a name met twice on this walk; then every name on the
// chain gets its outcome. A name that leads into a known failure fails as
// that name would: an undefined name names the same missing name; a
// circular one names the name met twice, which for a name on the cycle is
// itself and for one leading into it the cycle's first name reached.
void SymbolTable::walk(SymbolId start) {
    if (++walks_ == 0) {
        // The marks have wrapped around: none may look like this walk's.
        for (Symbol& symbol : symbols_) {
            symbol.visitMark = 0;
        }
        walks_ = 1;
    }
    const std::uint32_t mark = walks_;
    chain_.clear();
    State state = State::Number;
    std::int32_t number = 0;
    std::size_t cycleStart = 0;  // with Circular: the first chain index on the cycle
    for (SymbolId id = start;; id = at(id).alias) {
        Symbol& symbol = at(id);
        if (!symbol.bound) {
            // Remembered too, so that a cell that uses it directly fails alike.
            state = State::Undefined;
            number = static_cast<std::int32_t>(id);
            chain_.push_back(id);
            break;
        }
        if (symbol.state == State::Number || symbol.state == State::Undefined) {
            state = symbol.state;
            number = symbol.number;
            break;
        }
        if (symbol.state == State::Circular) {
            // On its cycle, it names itself; leading into it, its cycle's name.
            state = State::Circular;
            number = symbol.number;
            cycleStart = chain_.size();
            break;
        }
        if (symbol.visitMark == mark) {
            state = State::Circular;
            number = static_cast<std::int32_t>(id);
            cycleStart = static_cast<std::size_t>(std::find(chain_.begin(), chain_.end(), id) -
                                                  chain_.begin());
            break;
        }
        symbol.visitMark = mark;
        chain_.push_back(id);
        if (!symbol.isAlias) {
            number = symbol.number;
            break;
        }
    }
    failuresKept_ = failuresKept_ || state != State::Number;
    for (std::size_t i = 0; i < chain_.size(); ++i) {
        Symbol& walked = at(chain_[i]);
        walked.state = state;
        walked.number = number;
        if (state == State::Circular && i >= cycleStart) {
            walked.number = static_cast<std::int32_t>(chain_[i]);
        }
    }
}

}  // namespace Vorn::Assembly
