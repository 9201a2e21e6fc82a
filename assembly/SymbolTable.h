// The names bound during one run: labels, definitions and "end". Names compare
// exactly (case matters); the order of entries is never used.
//
// Every name the run meets gets a SymbolId once, bound or not yet: a cell that
// uses a name keeps the id, so writing the image needs no lookup by text, and
// a name used by many cells is stored once. The table is laid out flat (names
// in one block of text, ids into one array, a probe table of small slots),
// since a node per entry would cost a cache miss per lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assembly/Value.h"

namespace Vorn::Assembly {

enum class SymbolId : std::uint32_t {};

class SymbolTable {
  public:
    SymbolTable();

    // Forgets every name: the ids given so far name nothing any more.
    void clear();
    // Whether the name is bound.
    bool contains(std::string_view name) const;
    // Binds a name not bound yet and says so; a bound name keeps its value
    // and bind says false.
    bool bind(std::string_view name, const Value& value);
    // The same for a name already interned.
    bool bind(SymbolId id, const Value& value);
    // What a bound name is bound to; only for a bound name.
    Value lookup(std::string_view name) const;
    // The number of bound names.
    std::size_t size() const { return boundCount_; }

    // The id of a name, which becomes known (unbound) if it is new.
    SymbolId intern(std::string_view name);
    // The id of a name already known, bound or not.
    std::optional<SymbolId> idOf(std::string_view name) const;
    // How many names are known: the ids are 0 up to this.
    std::size_t nameCount() const { return symbols_.size(); }
    bool isBound(SymbolId id) const { return at(id).bound; }
    // The name a bound alias stands for; none for a number binding.
    std::optional<SymbolId> aliasTarget(SymbolId id) const {
        return at(id).isAlias ? std::optional<SymbolId>(at(id).alias) : std::nullopt;
    }
    std::string_view name(SymbolId id) const {
        const NameRef& ref = nameRefs_[static_cast<std::size_t>(id)];
        return {names_.data() + ref.offset, ref.length};
    }

    // Follows the chain of names from `name` until it reaches a number.
    // Throws UndefinedLabel for the first name on the chain that is not bound,
    // and CircularDefinition for the first name met twice. Iterative, and each
    // chain is walked once: later resolutions of its names, and of every name
    // that leads into it, are remembered, failures too. Resolving changes
    // only what is remembered; a const table is only read.
    std::int32_t resolve(std::string_view name);
    std::int32_t resolve(SymbolId id) {
        const Symbol& symbol = at(id);
        return symbol.state == State::Number ? symbol.number : resolveWalked(id);
    }
    // Resolves every bound name, without throwing: afterwards outcome() says
    // what each resolves to. In time linear in the names.
    void resolveAll();

    // What resolving a name gave: its number, or the error and the name the
    // error names. Unknown for a name not resolved yet.
    struct Outcome {
        enum class Kind : std::uint8_t { Unknown, Number, Undefined, Circular };
        Kind kind = Kind::Unknown;
        std::int32_t number = 0;
        SymbolId named{};
    };
    Outcome outcome(SymbolId id) const;

    // Every bound name with its value, for listings; the order is unspecified.
    template <typename Visit>
    void forEach(Visit visit) const {
        for (std::size_t i = 0; i < symbols_.size(); ++i) {
            const auto id = static_cast<SymbolId>(i);
            if (at(id).bound) {
                visit(name(id), valueOf(at(id)));
            }
        }
    }

  private:
    // Where a name's text is in names_; apart from the symbols, so that
    // finding a name reads little memory.
    struct NameRef {
        std::uint32_t offset;
        std::uint32_t length;
    };
    // What resolution remembers of a name: not resolved yet, its number, or
    // the error it raises (with the name it names in `number`).
    enum class State : std::uint8_t { Unresolved, Number, Undefined, Circular };
    // Sixteen bytes: resolution visits them in no order.
    struct Symbol {
        // A number binding's number; an alias's number once it is resolved
        // (a cache that never changes what a name means); after a failure,
        // the id of the name the error names.
        std::int32_t number = 0;
        SymbolId alias{};  // an alias binding: the name it stands for
        std::uint32_t visitMark = 0;
        bool bound = false;
        bool isAlias = false;
        State state = State::Unresolved;
    };
    // Open addressing with linear probing, at most half full.
    struct Slot {
        std::uint32_t hashTag = 0;
        std::uint32_t idPlusOne = 0;  // 0: empty
    };

    const Symbol& at(SymbolId id) const { return symbols_[static_cast<std::size_t>(id)]; }
    Symbol& at(SymbolId id) { return symbols_[static_cast<std::size_t>(id)]; }
    // The slot of a name with this tag: its own, or the empty one it would
    // take. Defined in SymbolTable.cpp, inlined into each lookup there: a
    // call per lookup costs as much as the probe.
    inline std::size_t probe(std::string_view name, std::uint32_t tag) const;
    const Symbol* find(std::string_view name) const;
    Value valueOf(const Symbol& symbol) const;
    // Walks the chain from `start` and remembers what every name on it
    // resolves to.
    void walk(SymbolId start);
    std::int32_t resolveWalked(SymbolId id);
    void grow();

    std::string names_;  // the text of every name, one after another
    std::vector<NameRef> nameRefs_;
    std::vector<Symbol> symbols_;
    std::vector<Slot> slots_;
    std::size_t boundCount_ = 0;
    std::uint32_t walks_ = 0;
    std::vector<SymbolId> chain_;
    bool failuresKept_ = false;
};

}  // namespace Vorn::Assembly
