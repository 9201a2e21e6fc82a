#include "grading/Suite.h"

#include <toml++/toml.h>
#include <algorithm>
#include <charconv>
#include <limits>
#include <set>

namespace Vorn::Grading {

namespace {

std::string typeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::none:
            break;
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a float";
        case toml::node_type::boolean:
            return "a boolean";
        case toml::node_type::date:
            return "a date";
        case toml::node_type::time:
            return "a time";
        case toml::node_type::date_time:
            return "a date-time";
    }
    return "nothing";
}

bool isBareKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

// A TOML basic string: quoted, with every control byte escaped.
std::string quoted(std::string_view key) {
    std::string text = "\"";
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr char hex[] = "0123456789ABCDEF";
            text += "\\u00";
            text += hex[byte >> 4];
            text += hex[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

// A key as TOML writes it: bare when it can be, else a quoted string.
std::string keyText(std::string_view key) {
    return isBareKey(key) ? std::string(key) : quoted(key);
}

bool isName(std::string_view text) {
    const auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    return !text.empty() && letter(text[0]) && std::all_of(text.begin(), text.end(), [&](char c) {
        return letter(c) || (c >= '0' && c <= '9');
    });
}

std::optional<std::uint16_t> addressOf(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Reads one table of the suite, knowing where it is.
class Reader {
  public:
    Reader(const std::string& file, std::string key) : file_(file), key_(std::move(key)) {}

    [[noreturn]] void fail(const toml::node& node, const std::string& key,
                           const std::string& problem) const {
        throw SuiteError(place(node.source().begin.line, key).text() + ": " + problem);
    }

    SuitePlace place(std::int64_t line, const std::string& key) const { return {file_, line, key}; }

    // "case[1].input" for the key "input" of the table "case[1]".
    std::string path(std::string_view key) const {
        return key_.empty() ? keyText(key) : key_ + "." + keyText(key);
    }

    void requireType(const toml::node& node, const std::string& key, toml::node_type type,
                     const std::string& what) const {
        if (node.type() != type) {
            fail(node, key, "expected " + what + ", found " + typeName(node.type()));
        }
    }

    std::int64_t integer(const toml::node& node, const std::string& key, std::int64_t low,
                         std::int64_t high, const std::string& what) const {
        requireType(node, key, toml::node_type::integer, what);
        const std::int64_t value = node.as_integer()->get();
        if (value < low || value > high) {
            fail(node, key, std::to_string(value) + " is not " + what);
        }
        return value;
    }

    std::int32_t word(const toml::node& node, const std::string& key) const {
        constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(
            integer(node, key, low, high, "an integer of 32 bits (-2147483648 to 2147483647)"));
    }

    std::vector<std::int32_t> words(const toml::node& node, const std::string& key) const {
        requireType(node, key, toml::node_type::array, "an array of integers");
        std::vector<std::int32_t> result;
        const toml::array& array = *node.as_array();
        result.reserve(array.size());
        for (std::size_t i = 0; i < array.size(); ++i) {
            result.push_back(word(array[i], key + "[" + std::to_string(i + 1) + "]"));
        }
        return result;
    }

    std::uint64_t maxSteps(const toml::node& node, const std::string& key) const {
        return static_cast<std::uint64_t>(integer(
            node, key, 1, std::numeric_limits<std::int64_t>::max(), "a step budget of at least 1"));
    }

    std::size_t maxOutput(const toml::node& node, const std::string& key) const {
        return static_cast<std::size_t>(
            integer(node, key, 0, static_cast<std::int64_t>(Suite::maxMaxOutput),
                    "a number of lines from 0 to " + std::to_string(Suite::maxMaxOutput)));
    }

    bool boolean(const toml::node& node, const std::string& key) const {
        requireType(node, key, toml::node_type::boolean, "true or false");
        return node.as_boolean()->get();
    }

    std::string string(const toml::node& node, const std::string& key) const {
        requireType(node, key, toml::node_type::string, "a string");
        return node.as_string()->get();
    }

  private:
    const std::string& file_;
    std::string key_;
};

// The suite's defaults, which each case may override.
struct Defaults {
    std::uint64_t maxSteps = Suite::defaultMaxSteps;
    std::size_t maxOutput = Suite::defaultMaxOutput;
    bool strict = false;
};

std::vector<MemoryExpectation> readMemory(const Reader& reader, const toml::node& node,
                                          const std::string& key, const std::string& file) {
    reader.requireType(node, key, toml::node_type::table, "a table of addresses or labels");
    const Reader table(file, key);
    // A TOML table keeps its keys in name order; the file's order reads better.
    std::vector<std::pair<toml::source_position, MemoryExpectation>> read;
    for (auto&& [name, value] : *node.as_table()) {
        const std::string wordKey = table.path(name.str());
        MemoryExpectation expectation;
        expectation.place = table.place(name.source().begin.line, wordKey);
        if (const auto address = addressOf(name.str())) {
            expectation.address = address;
        } else if (isName(name.str())) {
            expectation.label = name.str();
        } else {
            table.fail(value, wordKey, "not an address (0 to 65535) or a label");
        }
        expectation.value = table.word(value, wordKey);
        read.emplace_back(name.source().begin, std::move(expectation));
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<MemoryExpectation> result;
    for (auto& [position, expectation] : read) {
        result.push_back(std::move(expectation));
    }
    return result;
}

std::vector<RegisterExpectation> readRegisters(const Reader& reader, const toml::node& node,
                                               const std::string& key, const std::string& file) {
    reader.requireType(node, key, toml::node_type::table, "a table of registers (A to P)");
    const Reader table(file, key);
    std::vector<RegisterExpectation> result;
    for (auto&& [name, value] : *node.as_table()) {
        const std::string registerKey = table.path(name.str());
        const auto found = std::find(registerNames.begin(), registerNames.end(), name.str());
        if (found == registerNames.end()) {
            table.fail(value, registerKey, "not a register (A to P)");
        }
        const auto index = static_cast<std::size_t>(found - registerNames.begin());
        result.push_back({static_cast<RegisterId>(index), table.word(value, registerKey)});
    }
    return result;
}

Case readCase(const toml::node& node, std::size_t number, const Defaults& defaults,
              const std::string& file) {
    const std::string key = "case[" + std::to_string(number) + "]";
    const Reader suite(file, "");
    suite.requireType(node, key, toml::node_type::table, "a table ([[case]])");
    const Reader reader(file, key);
    Case result;
    result.name = "case " + std::to_string(number);
    result.maxSteps = defaults.maxSteps;
    result.maxOutput = defaults.maxOutput;
    result.strict = defaults.strict;
    bool hasOutput = false;
    for (auto&& [name, value] : *node.as_table()) {
        const std::string valueKey = reader.path(name.str());
        if (name == "name") {
            result.name = reader.string(value, valueKey);
        } else if (name == "input") {
            result.input = reader.words(value, valueKey);
        } else if (name == "output") {
            result.output = reader.words(value, valueKey);
            hasOutput = true;
        } else if (name == "points") {
            result.points =
                reader.integer(value, valueKey, 0, Suite::maxPoints,
                               "a number of points from 0 to " + std::to_string(Suite::maxPoints));
        } else if (name == "max-steps") {
            result.maxSteps = reader.maxSteps(value, valueKey);
        } else if (name == "max-output") {
            result.maxOutput = reader.maxOutput(value, valueKey);
        } else if (name == "strict") {
            result.strict = reader.boolean(value, valueKey);
        } else if (name == "memory") {
            result.memory = readMemory(reader, value, valueKey, file);
        } else if (name == "registers") {
            result.registers = readRegisters(reader, value, valueKey, file);
        } else {
            throw SuiteError(reader.place(name.source().begin.line, valueKey).text() +
                             ": unknown key (a case has name, input, output, points, "
                             "max-steps, max-output, strict, memory, registers)");
        }
    }
    if (!hasOutput) {
        reader.fail(node, key + ".output",
                    "missing: every case lists the output it expects (output = [] for none)");
    }
    return result;
}

std::string parseErrorText(const toml::parse_error& error, const std::string& file) {
    const toml::source_position begin = error.source().begin;
    std::string text = file;
    if (begin.line != 0) {
        text += ", line " + std::to_string(begin.line) + ", column " + std::to_string(begin.column);
    }
    // The parser's sentences, as a clause after the place: no capital, no
    // final full stop, and no mention of its build settings.
    std::string description(error.description());
    if (const std::size_t setting = description.find(" (TOML_"); setting != std::string::npos) {
        description.erase(setting, description.find(')', setting) + 1 - setting);
    }
    while (!description.empty() && (description.back() == '.' || description.back() == '\n')) {
        description.pop_back();
    }
    if (!description.empty() && description[0] >= 'A' && description[0] <= 'Z') {
        description[0] = static_cast<char>(description[0] - 'A' + 'a');
    }
    return text + ": " + description;
}

std::string baseName(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    if (name.ends_with(".toml") && name.size() > 5) {
        name.resize(name.size() - 5);
    }
    return name;
}

}  // namespace

std::string SuitePlace::text() const {
    std::string result = file;
    if (line > 0) {
        result += ", line " + std::to_string(line);
    }
    return key.empty() ? result : result + ": " + key;
}

std::int64_t Suite::maxScore() const {
    std::int64_t total = 0;
    for (const Case& each : cases) {
        total += each.points;
    }
    return total;
}

Suite readSuite(std::string_view text, const std::string& file) {
    if (text.size() > Suite::maxFileBytes) {
        throw SuiteError(file + ": larger than " + std::to_string(Suite::maxFileBytes >> 20) +
                         " MB, too large for a suite");
    }
    toml::table document;
    try {
        document = toml::parse(text, file);
    } catch (const toml::parse_error& error) {
        throw SuiteError(parseErrorText(error, file));
    }
    const Reader reader(file, "");
    Suite suite;
    suite.file = file;
    suite.name = baseName(file);
    Defaults defaults;
    const toml::node* cases = nullptr;
    for (auto&& [name, value] : document) {
        const std::string key = reader.path(name.str());
        if (name == "name") {
            suite.name = reader.string(value, key);
        } else if (name == "max-steps") {
            defaults.maxSteps = reader.maxSteps(value, key);
        } else if (name == "max-output") {
            defaults.maxOutput = reader.maxOutput(value, key);
        } else if (name == "strict") {
            defaults.strict = reader.boolean(value, key);
        } else if (name == "case") {
            reader.requireType(value, key, toml::node_type::array, "an array of tables ([[case]])");
            cases = &value;
        } else {
            throw SuiteError(reader.place(name.source().begin.line, key).text() +
                             ": unknown key (a suite has name, max-steps, max-output, strict, "
                             "case)");
        }
    }
    if (cases == nullptr || cases->as_array()->empty()) {
        throw SuiteError(file + ": no cases (each begins with [[case]])");
    }
    std::set<std::string> names;
    const toml::array& array = *cases->as_array();
    for (std::size_t i = 0; i < array.size(); ++i) {
        Case read = readCase(array[i], i + 1, defaults, file);
        if (!names.insert(read.name).second) {
            reader.fail(array[i], "case[" + std::to_string(i + 1) + "].name",
                        quoted(read.name) + " names an earlier case too");
        }
        suite.cases.push_back(std::move(read));
    }
    return suite;
}

}  // namespace Vorn::Grading
