// The names bound during one run: labels, definitions and "end". Names compare
// exactly (case matters); the order of entries is never used.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "assembly/Value.h"

namespace Vorn::Assembly {

class SymbolTable {
  public:
    void clear();
    bool contains(std::string_view name) const;
    // Callers test first that the name has no entry.
    void bind(std::string_view name, Value value);
    // Only for a name that has an entry.
    const Value& lookup(std::string_view name) const;
    std::size_t size() const { return entries_.size(); }

    // Follows the chain of names from `name` until it reaches a number.
    // Throws UndefinedLabel for the first name on the chain without an entry,
    // and CircularDefinition for the first name met twice. Iterative, and each
    // chain is walked once: later resolutions of its names are remembered.
    std::int32_t resolve(std::string_view name) const;
    // The same for a name Value. The last one resolved is remembered: the
    // cells of a repetition share one name, and looking up a long name once
    // per cell would take minutes.
    std::int32_t resolve(const Value& name) const;

    // Every entry, for listings; the order is unspecified.
    template <typename Visit>
    void forEach(Visit visit) const {
        for (const auto& [name, entry] : entries_) {
            visit(name, entry.value);
        }
    }

  private:
    struct Entry {
        Value value;
        // Resolution state, a cache that never changes what a name means.
        mutable bool resolved = false;
        mutable std::int32_t number = 0;
        mutable std::uint64_t visitMark = 0;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };

    std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries_;
    mutable std::uint64_t walks_ = 0;
    mutable std::vector<const Entry*> chain_;
    mutable Value lastName_;
    mutable std::int32_t lastNumber_ = 0;
};

}  // namespace Vorn::Assembly
