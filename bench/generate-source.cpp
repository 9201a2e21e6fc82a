// vorn-bench-source: writes a benchmark source to standard output.
//   vorn-bench-source full             the full-memory source
//   vorn-bench-source countdown COUNT  the countdown loop from COUNT (1 or more)
#include <charconv>
#include <cstring>
#include <iostream>
#include <string_view>

#include "bench/BenchSources.h"

int main(int argc, char** argv) {
    const std::string_view usage = "usage: vorn-bench-source full | countdown COUNT\n";
    if (argc == 2 && std::strcmp(argv[1], "full") == 0) {
        std::cout << Vorn::Bench::fullMemorySource();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "countdown") == 0) {
        const std::string_view text = argv[2];
        std::uint32_t count = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), count);
        if (result.ec == std::errc{} && result.ptr == text.data() + text.size() && count > 0 &&
            count <= 0x7FFFFFFF) {
            std::cout << Vorn::Bench::countdownSource(count);
            return 0;
        }
    }
    std::cerr << usage;
    return 1;
}
