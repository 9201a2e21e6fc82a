#include "assembly/SymbolTable.h"

#include "assembly/ParseError.h"

namespace Vorn::Assembly {

void SymbolTable::clear() {
    entries_.clear();
    chain_.clear();
    lastName_ = Value();
}

bool SymbolTable::contains(std::string_view name) const {
    return entries_.contains(name);
}

void SymbolTable::bind(std::string_view name, Value value) {
    entries_.emplace(std::string(name), Entry{std::move(value)});
    lastName_ = Value();
}

const Value& SymbolTable::lookup(std::string_view name) const {
    return entries_.find(name)->second.value;
}

std::int32_t SymbolTable::resolve(std::string_view name) const {
    const std::uint64_t mark = ++walks_;
    chain_.clear();
    std::string_view current = name;
    std::int32_t number = 0;
    for (;;) {
        const auto found = entries_.find(current);
        if (found == entries_.end()) {
            throw UndefinedLabel(std::string(current));
        }
        const Entry& entry = found->second;
        if (entry.resolved) {
            number = entry.number;
            break;
        }
        if (entry.visitMark == mark) {
            throw CircularDefinition(std::string(current));
        }
        entry.visitMark = mark;
        chain_.push_back(&entry);
        if (entry.value.isNumber()) {
            number = entry.value.number();
            break;
        }
        current = entry.value.name();
    }
    for (const Entry* walked : chain_) {
        walked->resolved = true;
        walked->number = number;
    }
    return number;
}

std::int32_t SymbolTable::resolve(const Value& name) const {
    if (!name.sharesName(lastName_)) {
        lastNumber_ = resolve(name.name());
        lastName_ = name;
    }
    return lastNumber_;
}

}  // namespace Vorn::Assembly
