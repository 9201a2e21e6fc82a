#include <unistd.h>

#include <iostream>

#include "simulator/Simulator.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    // The trace goes to standard error line by line: buffer it, and let the
    // C++ streams skip the C library.
    std::ios::sync_with_stdio(false);
    std::cerr.unsetf(std::ios::unitbuf);
    return Vorn::Simulator::runSimulator(argc, argv, std::cin, std::cout, std::cerr,
                                         ::isatty(STDOUT_FILENO) == 1, ::isatty(STDIN_FILENO) == 1);
}
