#include <iostream>

#include "listing/ListingCommand.h"
#include "tools/StandardDescriptors.h"

int main(int argc, char** argv) {
    if (!Vorn::Tools::holdStandardDescriptors()) {
        return 1;
    }
    std::ios::sync_with_stdio(false);
    return Vorn::Listing::runListing(argc, argv, std::cout, std::cerr);
}
