// Names for memory addresses (a program's labels), for printing an
// instruction's address operand as its source wrote it: "jn A loop" rather
// than "jn A 2".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Vorn {

class AddressNames {
  public:
    // The first name given to an address stays.
    void add(std::uint16_t address, std::string_view name) { names_.try_emplace(address, name); }
    // The address's name, or null.
    const std::string* find(std::uint16_t address) const {
        const auto found = names_.find(address);
        return found == names_.end() ? nullptr : &found->second;
    }
    bool empty() const { return names_.empty(); }

  private:
    std::unordered_map<std::uint16_t, std::string> names_;
};

}  // namespace Vorn
