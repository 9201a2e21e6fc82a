#include <iostream>

#include "driver/Driver.h"

int main(int argc, char** argv) {
    return Vorn::runAssembler(argc, argv, std::cerr);
}
