#include "driver/Driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <ios>
#include <new>
#include <ostream>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "assembly/SourceBuffer.h"
#include "driver/SourceFile.h"
#include "tools/OutputFile.h"
#include "tools/ToolError.h"

namespace Vorn {

namespace {

int fail(std::ostream& errors, const char* message) {
    Tools::writeError(errors, message);
    return 1;
}

bool isDirectory(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int assembleFiles(const char* inputPath, const char* outputPath, std::ostream& errors) {
    std::ifstream input(inputPath);
    if (!input || isDirectory(inputPath)) {
        return fail(errors, "invalid input file.");
    }
    // Another spelling of the path, a symbolic link or a hard link to the
    // input would be emptied before the source is read.
    if (Tools::sameFile(inputPath, outputPath)) {
        return fail(errors, "input and output are the same file.");
    }
    std::ofstream output(outputPath, std::ios::out | std::ios::trunc);
    if (!output) {
        return fail(errors, "invalid output file");
    }
    {
        // The whole source in memory, which the lexer scans fastest, when it
        // is an ordinary file; anything else is read as it comes.
        const SourceFile file(inputPath, input);
        Assembly::SourceBuffer inMemory(file.text());
        std::istream inMemoryStream(&inMemory);
        Assembly::Assembler assembler(file.inMemory() ? inMemoryStream : input, output);
        try {
            assembler.assemble();
        } catch (const Assembly::ParseError& error) {
            Tools::writeError(errors, error);
        }
    }
    output.close();
    if (output.fail()) {
        // What reached the file may end in a cut number, which would load as
        // a program: leave it empty, as after an assembly error.
        static_cast<void>(::truncate(outputPath, 0));
        return fail(errors, "cannot write output file.");
    }
    return 0;
}

}  // namespace

int runAssembler(int argc, const char* const* argv, std::ostream& errors) {
    if (argc != 3) {
        return fail(errors, "two arguments required.");
    }
    try {
        return assembleFiles(argv[1], argv[2], errors);
    } catch (const std::bad_alloc&) {
        return fail(errors, "out of memory.");
    } catch (const std::ios_base::failure&) {
        // A read of the source failed (an input/output error, say).
        return fail(errors, "invalid input file.");
    }
}

}  // namespace Vorn
