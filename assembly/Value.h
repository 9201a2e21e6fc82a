// A number or a name: what a symbol is bound to. Copies of a name share its
// text, which never changes. (A memory cell keeps a name as its SymbolId.)
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>

namespace Vorn::Assembly {

class SymbolTable;

class Value {
  public:
    Value() = default;
    explicit Value(std::int32_t number) : number_(number) {}
    explicit Value(std::string name)
        : isNumber_(false), name_(std::make_shared<const std::string>(std::move(name))) {}

    bool isNumber() const { return isNumber_; }
    std::int32_t number() const { return number_; }
    // Empty for a number.
    const std::string& name() const;

    // The number this value stands for: a number gives itself, a name what
    // its chain of bindings ends at. Throws UndefinedLabel or CircularDefinition.
    std::int32_t resolve(SymbolTable& symbols) const;

  private:
    bool isNumber_ = true;
    std::int32_t number_ = 0;
    std::shared_ptr<const std::string> name_;
};

// A number as a signed decimal, a name as its text.
std::ostream& operator<<(std::ostream& out, const Value& value);

}  // namespace Vorn::Assembly
