#include "assembly/SymbolTable.h"

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
}

const SymbolTable::Symbol* SymbolTable::find(std::string_view name) const {
    const std::uint32_t tag = tagOf(hashOf(name));
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = tag & mask; slots_[i].idPlusOne != 0; i = (i + 1) & mask) {
        const auto id = static_cast<SymbolId>(slots_[i].idPlusOne - 1);
        if (slots_[i].hashTag == tag && sameText(this->name(id), name)) {
            return &at(id);
        }
    }
    return nullptr;
}

SymbolId SymbolTable::intern(std::string_view name) {
    const std::uint32_t tag = tagOf(hashOf(name));
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = tag & mask;
    for (; slots_[i].idPlusOne != 0; i = (i + 1) & mask) {
        const auto id = static_cast<SymbolId>(slots_[i].idPlusOne - 1);
        if (slots_[i].hashTag == tag && sameText(this->name(id), name)) {
            return id;
        }
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

void SymbolTable::bind(std::string_view name, const Value& value) {
    const SymbolId id = intern(name);
    if (at(id).bound) {
        return;
    }
    if (value.isNumber()) {
        at(id).number = value.number();
    } else {
        // Interning may move the symbols: look the bound one up afterwards.
        const SymbolId alias = intern(value.name());
        at(id).alias = alias;
        at(id).isAlias = true;
    }
    at(id).bound = true;
    ++boundCount_;
}

Value SymbolTable::valueOf(const Symbol& symbol) const {
    return symbol.isAlias ? Value(std::string(name(symbol.alias))) : Value(symbol.number);
}

Value SymbolTable::lookup(std::string_view name) const {
    return valueOf(*find(name));
}

std::int32_t SymbolTable::resolve(std::string_view name) const {
    const Symbol* symbol = find(name);
    if (symbol == nullptr) {
        throw UndefinedLabel(std::string(name));
    }
    return resolve(static_cast<SymbolId>(symbol - symbols_.data()));
}

std::int32_t SymbolTable::walk(SymbolId start) const {
    if (++walks_ == 0) {
        // The marks have wrapped around: none may look like this walk's.
        for (const Symbol& symbol : symbols_) {
            symbol.visitMark = 0;
        }
        walks_ = 1;
    }
    const std::uint32_t mark = walks_;
    chain_.clear();
    std::int32_t number = 0;
    for (SymbolId id = start;; id = at(id).alias) {
        const Symbol& symbol = at(id);
        if (!symbol.bound) {
            throw UndefinedLabel(std::string(name(id)));
        }
        if (symbol.resolved) {
            number = symbol.number;
            break;
        }
        if (symbol.visitMark == mark) {
            throw CircularDefinition(std::string(name(id)));
        }
        symbol.visitMark = mark;
        chain_.push_back(&symbol);
        if (!symbol.isAlias) {
            number = symbol.number;
            break;
        }
    }
    for (const Symbol* walked : chain_) {
        walked->resolved = true;
        walked->number = number;
    }
    return number;
}

}  // namespace Vorn::Assembly
