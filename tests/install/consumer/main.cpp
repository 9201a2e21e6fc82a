// Assembles a source, runs it with the numbers given on the command line and
// prints how many cells it filled and what it wrote.
#include <fstream>
#include <iostream>
#include <sstream>

#include "assembly/Program.h"
#include "machine/Machine.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: count-cells SOURCE [NUMBER...]\n";
        return 2;
    }
    std::ifstream file(argv[1]);
    std::stringstream text;
    text << file.rdbuf();
    const Vorn::Assembly::Program program = Vorn::Assembly::assembleProgram(text.str());
    if (program.error) {
        std::cerr << "count-cells: " << program.error->message << ".\n";
        return 1;
    }
    std::stringstream input;
    for (int i = 2; i < argc; ++i) {
        input << argv[i] << '\n';
    }
    std::ostringstream output;
    Vorn::Machine machine(input, output);
    const std::vector<Vorn::Word> words = program.words();
    machine.load(words);
    machine.run(1000000);
    std::cout << program.cells.size() << " cells\n" << output.str();
    return machine.halted() ? 0 : 1;
}
