#include <unistd.h>
#include <cstdlib>
#include <iostream>

#include "grader/Grader.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 2;
    }
    std::ios::sync_with_stdio(false);
    const char* noColour = std::getenv("NO_COLOR");
    const bool terminal = isatty(STDOUT_FILENO) == 1 && (noColour == nullptr || *noColour == 0);
    return Vorn::Grader::runGrader(argc, argv, std::cout, std::cerr, terminal);
}
