// vorn-origin-bench [STEPS]: `info origin` in process, through the debugging
// core, over a chain of 20 links spread across a run of about STEPS
// instructions (default 10^8): twenty rounds of an inner loop that leaves A
// alone, each ending with `incr A`, then `store A result`. The chain of
// [result] is the store, then the twenty increments, each found by going back
// through the history; the target is 1 s. Prints the steps run, the links
// and the median of five searches.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "debug/Origin.h"
#include "debug/Session.h"

namespace {

using namespace Vorn;
using Clock = std::chrono::steady_clock;

std::string source(std::uint64_t steps) {
    const std::uint64_t inner = std::max<std::uint64_t>(steps / 20 / 3, 1);
    return "        load A seed\n"
           "        load D rounds\n"
           ":outer  load C count\n"
           ":inner  decr C\n"
           "        jz C next\n"
           "        jump inner\n"
           ":next   incr A\n"
           "        decr D\n"
           "        jz D done\n"
           "        jump outer\n"
           ":done   store A result\n"
           "        jump end\n"
           ":seed   1\n"
           ":rounds 20\n"
           ":count  " +
           std::to_string(inner) +
           "\n"
           ":result 0\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t steps = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000000;
    Program program = Program::fromSource(source(steps));
    if (program.error()) {
        std::fprintf(stderr, "vorn-origin-bench: %s\n", program.error()->message.c_str());
        return 1;
    }
    const auto result = program.labelAddress("result");
    Debug::Session session(std::move(program), {});
    session.continueRun();
    const Debug::Location location{Debug::Location::Kind::Memory, RegisterId::A, *result};
    std::vector<double> times;
    std::size_t links = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        links = session.origin(location, session.step(), Debug::originLinks).size();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "  info origin [result]: %zu links over %llu steps, %.3f s (median of 5; "
        "target 1 s)\n",
        links, static_cast<unsigned long long>(session.step()), times[2]);
    return 0;
}
