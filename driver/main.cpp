#include <iostream>

#include "driver/Driver.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    return Vorn::runAssembler(argc, argv, std::cerr);
}
