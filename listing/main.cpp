#include <iostream>

#include "listing/ListingCommand.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return Vorn::Listing::runListing(argc, argv, std::cout, std::cerr);
}
