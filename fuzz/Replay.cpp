// Runs a fuzz target's entry point once on each file named on the command
// line, as the fuzzer would but without it, so that the seed corpus and the
// crash inputs kept under fuzz/regressions/ are replayed by every test build.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const std::string input{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "replaying %s\n", argv[i]);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::fprintf(stderr, "replayed %d inputs\n", argc - 1);
    return 0;
}
