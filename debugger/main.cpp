#include <iostream>

#include "debugger/Debugger.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    // Files opened later (the program, its input, with --dap the editor's
    // launch) must not take the place of a closed standard stream.
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    return Vorn::Debugger::runDebugger(argc, argv, std::cin, std::cout, std::cerr);
}
