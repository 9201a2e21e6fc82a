#include "grader/Grader.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <thread>

#include "grading/Grade.h"
#include "grading/Parallel.h"
#include "grading/Report.h"
#include "grading/Similarity.h"
#include "grading/Suite.h"
#include "machine/Printable.h"
#include "tools/CommandLine.h"
#include "tools/FileChecks.h"
#include "tools/OutputFile.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Grader {

namespace {

constexpr int allPassed = 0;
constexpr int someFailed = 1;
constexpr int unusable = 2;  // usage, suite or report errors

struct Options {
    std::string suite;
    std::vector<std::string> programs;
    bool image = false;
    bool json = false;
    std::string junit;
    std::string csv;
    std::string gradescope;
    std::string prairieLearn;
    std::string gitHubClassroom;
    bool teacher = false;
    bool summary = false;
    std::string symbols;
    std::string coverage;  // the folder of the annotated listings
    bool similarity = false;
    double threshold = 0.5;
    std::string html;
    unsigned jobs = 0;
    std::string colour = "auto";
    std::optional<std::string> printInput;  // a case's name
};

int fail(std::ostream& errors, const std::string& message) {
    Tools::writeError(errors, message);
    return unusable;
}

// A file's text, read up to one byte past `limit`: a larger file, or a
// device that never ends, is refused without reading it all.
std::string readText(const std::string& path, const std::string& what, std::size_t limit) {
    std::ifstream file = Tools::openForReading(path, what);
    std::string text(limit + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        throw Tools::ToolError("cannot read " + what + " '" + printable(path) + "'.");
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    text.shrink_to_fit();  // a thousand submissions keep their bytes, not the limit's
    return text;
}

// The largest submission --similarity compares (far more than an exercise's).
constexpr std::size_t maxSourceBytes = 1 << 20;

// Why the file at `path` is no assembly source at all: `unreadable` (the
// error of its load) when it cannot be read, else empty, or binary (a NUL
// byte in its first block); empty when it may be one.
std::string notASource(const std::string& path, const std::string& unreadable) {
    // Opened only when it is a file: a FIFO would block the open.
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(path, ignored);
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_character_file(status)) {
        return unreadable;
    }
    std::ifstream file(path, std::ios::binary);
    char block[4096];
    file.read(block, sizeof block);
    if (!file.is_open() || file.bad()) {
        return unreadable;
    }
    const auto size = static_cast<std::size_t>(file.gcount());
    const std::string name = "Error: '" + printable(path) + "' is ";
    if (size == 0) {
        return name + "empty, not an assembly source.";
    }
    return std::find(block, block + size, '\0') != block + size
               ? name + "a binary file, not an assembly source."
               : "";
}

struct Loaded {
    Grading::Submission submission;
    std::string notASource;
};

// A program that cannot be had (a FIFO, a read error) gets its verdict, as
// an assembly error does; the others are graded.
Loaded load(const std::string& path, bool image, bool allLines = false) {
    const Program::Format format = image ? Program::Format::Image : Program::Format::Source;
    try {
        const Tools::KeptLines kept = allLines ? Tools::KeptLines::All : Tools::KeptLines::Filled;
        return {Grading::loadedSubmission(path, Tools::loadProgramFile(path, format, kept)),
                image ? "" : notASource(path, "")};
    } catch (const Tools::ToolError& error) {
        const std::string message = Tools::errorText(error);
        return {Grading::failedSubmission(path, message, format),
                image ? message : notASource(path, message)};
    }
}

std::string listingOf(const Grading::ProgramResult& result, const SourceLines& lines) {
    std::ostringstream text;
    Grading::writeCoverageListing(text, result, lines);
    return text.str();
}

// The listings of --coverage: DIR/NAME.coverage for each program NAME that
// assembled (NAME-2.coverage... when two have one name). Returns what went wrong.
std::optional<std::string> writeListings(const std::string& folder,
                                         const std::vector<std::string>& programs,
                                         const std::vector<std::string>& listings) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        return "cannot make the coverage folder '" + printable(folder) + "'.";
    }
    std::map<std::string, int> used;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        if (listings[i].empty()) {
            continue;
        }
        const std::string name = std::filesystem::path(programs[i]).filename().string();
        const int count = ++used[name];
        const std::string path =
            folder + "/" + name + (count > 1 ? "-" + std::to_string(count) : "") + ".coverage";
        if (!Tools::writeWholeFile(path, [&](std::ostream& out) { out << listings[i]; })) {
            return "cannot write the coverage listing '" + printable(path) + "'.";
        }
    }
    return std::nullopt;
}

// A report file that the options ask for.
struct ReportFile {
    std::string what;  // "the JUnit report"
    std::string path;
    void (*writer)(std::ostream&, const Grading::Report&);
};

std::vector<ReportFile> reportFiles(const Options& options) {
    std::vector<ReportFile> files;
    if (!options.junit.empty()) {
        files.push_back({"the JUnit report", options.junit, Grading::writeJUnit});
    }
    if (!options.csv.empty()) {
        files.push_back({"the CSV report", options.csv, Grading::writeCsv});
    }
    if (!options.gradescope.empty()) {
        files.push_back({"the Gradescope results", options.gradescope, Grading::writeGradescope});
    }
    if (!options.prairieLearn.empty()) {
        files.push_back(
            {"the PrairieLearn results", options.prairieLearn, Grading::writePrairieLearn});
    }
    if (!options.gitHubClassroom.empty()) {
        files.push_back({"the GitHub Classroom results", options.gitHubClassroom,
                         Grading::writeGitHubClassroom});
    }
    return files;
}

// A report written over the suite, a program or another report would lose
// it: refused before anything is graded.
std::optional<std::string> clash(const Options& options, const std::vector<ReportFile>& reports) {
    const auto named = [](const std::string& what, const std::string& path) {
        return what + " '" + printable(path) + "'";
    };
    for (auto report = reports.begin(); report != reports.end(); ++report) {
        std::vector<std::pair<std::string, std::string>> others = {{"the suite", options.suite}};
        for (const std::string& program : options.programs) {
            others.emplace_back("the program", program);
        }
        for (auto other = reports.begin(); other != report; ++other) {
            others.emplace_back(other->what, other->path);
        }
        for (const auto& [what, path] : others) {
            if (Tools::sameFile(report->path, path)) {
                return named(report->what, report->path) + " and " + named(what, path) +
                       " are the same file.";
            }
        }
    }
    return std::nullopt;
}

int printInput(const Grading::Suite& suite, const std::string& name, std::ostream& out,
               std::ostream& errors) {
    const auto found = std::find_if(suite.cases.begin(), suite.cases.end(),
                                    [&](const Grading::Case& test) { return test.name == name; });
    if (found == suite.cases.end()) {
        return fail(errors, "the suite '" + printable(suite.file) + "' has no case named '" +
                                printable(name) + "'.");
    }
    for (const std::int32_t value : found->input) {
        out << value << '\n';
    }
    return Tools::finishOutput(out, errors) == 0 ? allPassed : unusable;
}

std::optional<int> parse(int argc, const char* const* argv, Options& options, std::ostream& out,
                         std::ostream& errors) {
    CLI::App app(
        "Grades programs against a test suite: every case of SUITE is run on each "
        "PROGRAM.\nExit status: 0 every case of every program passed, 1 at least one "
        "did not, 2 usage or suite errors.",
        "vorngrade");
    app.set_version_flag("--version", Tools::versionText("vorngrade"));
    app.add_option("SUITE", options.suite, "The test suite (TOML); with --similarity, a program");
    app.add_option("PROGRAM", options.programs, "Assembly sources (memory images, with --image)");
    app.add_flag("--image", options.image, "Each PROGRAM is a memory image as vornasm writes it");
    app.add_flag("--json", options.json, "Write the report as JSON on standard output");
    app.add_option("--junit", options.junit, "Also write a JUnit XML report to FILE")
        ->type_name("FILE");
    app.add_option("--csv", options.csv, "Also write a grade book (CSV) to FILE")
        ->type_name("FILE");
    app.add_option("--gradescope", options.gradescope,
                   "Also write Gradescope's results.json for the one PROGRAM to FILE")
        ->type_name("FILE");
    app.add_option("--prairielearn", options.prairieLearn,
                   "Also write PrairieLearn's external grader results for the one PROGRAM to FILE")
        ->type_name("FILE");
    app.add_option("--github-classroom", options.gitHubClassroom,
                   "Also write the result GitHub Classroom's autograding reporter reads for the "
                   "one PROGRAM to FILE")
        ->type_name("FILE");
    app.add_option("--coverage", options.coverage,
                   "Report which source lines each case ran and which no case did, and write "
                   "to folder DIR a listing of each program with the times the suite ran each "
                   "line (runs step by step: slower)")
        ->type_name("DIR");
    app.add_option("--symbols", options.symbols,
                   "With --image: the labels of SOURCE name the images' words in memory checks")
        ->type_name("SOURCE")
        ->needs("--image");
    app.add_flag("--teacher", options.teacher,
                 "Show every case's input, output and feedback, hidden cases too");
    app.add_flag("--summary", options.summary,
                 "Print one line per program: FILE: SCORE/MAX and a letter per case (. pass, "
                 "O wrong-output, S wrong-state, L step-limit, F fault, W too-much-output, "
                 "A assembly-error)")
        ->excludes("--json");
    app.add_option("-j,--jobs", options.jobs,
                   "Grade N programs at once (default: the number of processors)")
        ->type_name("N")
        ->check(CLI::Range(1U, 1024U));
    app.add_option("--color", options.colour,
                   "Colour the text report: auto (on a terminal), "
                   "always or never")
        ->type_name("WHEN")
        ->check(CLI::IsMember({"auto", "always", "never"}));
    app.add_flag("--similarity", options.similarity,
                 "Grade nothing: compare every pair of PROGRAMs (all arguments are programs) and "
                 "print the pairs most alike, a signal for a person to read, not a verdict");
    app.add_option("--threshold", options.threshold,
                   "With --similarity: report pairs at or above P, from 0 to 1 (default 0.5)")
        ->type_name("P")
        ->check(CLI::Range(0.0, 1.0))
        ->needs("--similarity");
    app.add_option("--html", options.html,
                   "With --similarity: also write a page with the matched lines side by side")
        ->type_name("FILE")
        ->needs("--similarity");
    app.add_option("--print-input", options.printInput,
                   "Print the input of the case named CASE, one number a line, and grade "
                   "nothing (the replay commands use it for a long input)")
        ->type_name("CASE");
    if (const auto status = Tools::parseCommandLine(app, argc, argv, out, errors)) {
        return *status == 0 ? allPassed : unusable;
    }
    if (options.suite.empty()) {
        return fail(errors, "no SUITE given (vorngrade --help lists the options).");
    }
    if (options.similarity) {
        options.programs.insert(options.programs.begin(), options.suite);
        return std::nullopt;
    }
    if (options.programs.empty() && !options.printInput) {
        return fail(errors, "no PROGRAM given (vorngrade --help lists the options).");
    }
    for (const auto& [option, path] : {std::pair{"--gradescope", &options.gradescope},
                                       std::pair{"--prairielearn", &options.prairieLearn},
                                       std::pair{"--github-classroom", &options.gitHubClassroom}}) {
        if (!path->empty() && options.programs.size() != 1) {
            return fail(errors, std::string(option) +
                                    " reports one submission: give one PROGRAM, not " +
                                    std::to_string(options.programs.size()) + ".");
        }
    }
    return std::nullopt;
}

// vorngrade --similarity: every pair of programs compared, the pairs most
// alike reported. Exit status 0 when none reaches the threshold, 1 when some
// do, 2 for a program that cannot be read.
int compareSubmissions(const Options& options, std::ostream& out, std::ostream& errors) {
    if (!options.html.empty() && std::any_of(options.programs.begin(), options.programs.end(),
                                             [&](const std::string& program) {
                                                 return Tools::sameFile(options.html, program);
                                             })) {
        return fail(errors, "the page '" + printable(options.html) + "' is one of the programs.");
    }
    std::vector<std::string> sources(options.programs.size());
    std::vector<Grading::Fingerprinted> prints(options.programs.size());
    try {
        for (std::size_t i = 0; i < options.programs.size(); ++i) {
            const std::string& program = options.programs[i];
            Tools::refuseSpecialFile(program, "source file");
            sources[i] = readText(program, "source file", maxSourceBytes);
            if (sources[i].size() > maxSourceBytes) {
                throw Tools::ToolError(printable(program) + ": larger than " +
                                       std::to_string(maxSourceBytes >> 20) +
                                       " MB, too large to compare.");
            }
            prints[i] = Grading::fingerprint(sources[i]);
        }
    } catch (const Tools::ToolError& error) {
        return fail(errors, error.what());
    }
    const std::vector<Grading::SimilarPair> pairs =
        Grading::similarPairs(prints, options.threshold);
    const Grading::SimilarityReport report{options.programs, sources, pairs, options.threshold};
    if (options.json) {
        Grading::writeSimilarityJson(out, report);
    } else {
        Grading::writeSimilarityText(out, report);
    }
    out.flush();
    if (!out) {
        return fail(errors, "cannot write the standard output.");
    }
    if (!options.html.empty() && !Tools::writeWholeFile(options.html, [&](std::ostream& stream) {
            Grading::writeSimilarityHtml(stream, report);
        })) {
        return fail(errors, "cannot write the page '" + printable(options.html) + "'.");
    }
    return pairs.empty() ? allPassed : someFailed;
}

}  // namespace

int runGrader(int argc, const char* const* argv, std::ostream& out, std::ostream& errors,
              bool terminal) {
    Options options;
    if (const auto status = parse(argc, argv, options, out, errors)) {
        return *status;
    }
    if (options.similarity) {
        return compareSubmissions(options, out, errors);
    }
    const std::vector<ReportFile> reports = reportFiles(options);
    if (const auto problem = clash(options, reports)) {
        return fail(errors, *problem);
    }
    Grading::Suite suite;
    try {
        suite = Grading::readSuite(
            readText(options.suite, "suite file", Grading::Suite::maxFileBytes), options.suite);
    } catch (const Tools::ToolError& error) {
        return fail(errors, error.what());
    } catch (const Grading::SuiteError& error) {
        return fail(errors, std::string(error.what()) + ".");
    }

    if (options.printInput) {
        return printInput(suite, *options.printInput, out, errors);
    }

    std::vector<Grading::ProgramResult> results(options.programs.size());
    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1U, std::thread::hardware_concurrency());
    // The labels that memory checks of images use.
    std::map<std::string, std::uint16_t, std::less<>> symbols;
    if (!options.symbols.empty()) {
        const Loaded source = load(options.symbols, false);
        if (source.submission.error) {
            return fail(errors, "--symbols '" + printable(options.symbols) +
                                    "': " + source.submission.error->substr(7));
        }
        for (const Assembly::ProgramSymbol& symbol : source.submission.program.symbols()) {
            if (const auto address = source.submission.program.labelAddress(symbol.name)) {
                symbols.emplace(symbol.name, *address);
            }
        }
    }
    const bool coverage = !options.coverage.empty();
    std::vector<std::string> listings(options.programs.size());
    const auto start = std::chrono::steady_clock::now();
    // Only the JSON report shows what a case wrote.
    const std::size_t keptOutput = options.json ? Grading::reportedOutputLines : 0;
    try {
        Grading::forEachInParallel(results.size(), jobs, [&](std::size_t i) {
            Loaded loaded = load(options.programs[i], options.image, coverage);
            if (loaded.submission.image()) {
                loaded.submission.symbols = symbols;
            }
            results[i] = Grading::gradeProgram(suite, loaded.submission, keptOutput, coverage);
            if (coverage && !results[i].lineRuns.empty()) {
                listings[i] = listingOf(results[i], loaded.submission.program.lines());
            }
            results[i].notASource = loaded.notASource;
        });
    } catch (const std::bad_alloc&) {
        return fail(errors, "out of memory.");
    }

    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    const Grading::Report report{suite, results, options.teacher, seconds.count(), coverage};
    if (options.json) {
        Grading::writeJson(out, report);
    } else if (options.summary) {
        Grading::writeSummary(out, report);
    } else {
        const bool colour = options.colour == "always" || (options.colour == "auto" && terminal);
        Grading::writeText(out, report, colour);
    }
    out.flush();
    if (!out) {
        return fail(errors, "cannot write the standard output.");
    }
    if (coverage) {
        if (const auto problem = writeListings(options.coverage, options.programs, listings)) {
            return fail(errors, *problem);
        }
    }
    for (const ReportFile& file : reports) {
        if (!Tools::writeWholeFile(file.path,
                                   [&](std::ostream& stream) { file.writer(stream, report); })) {
            return fail(errors, "cannot write " + file.what + " '" + printable(file.path) + "'.");
        }
    }
    const bool passed = std::all_of(results.begin(), results.end(),
                                    [](const auto& result) { return result.passed(); });
    return passed ? allPassed : someFailed;
}

}  // namespace Vorn::Grader
