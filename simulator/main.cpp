#include <iostream>

#include "simulator/Simulator.h"

int main(int argc, char** argv) {
    // The trace goes to standard error line by line: buffer it, and let the
    // C++ streams skip the C library.
    std::ios::sync_with_stdio(false);
    std::cerr.unsetf(std::ios::unitbuf);
    return Vorn::Simulator::runSimulator(argc, argv, std::cin, std::cout, std::cerr);
}
