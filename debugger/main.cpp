#include <iostream>

#include "debugger/Debugger.h"

int main(int argc, char** argv) {
    return Vorn::Debugger::runDebugger(argc, argv, std::cin, std::cout, std::cerr);
}
