#include <iostream>

#include "debugger/Debugger.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    return Vorn::Debugger::runDebugger(argc, argv, std::cin, std::cout, std::cerr);
}
