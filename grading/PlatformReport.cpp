// The results files of the autograding platforms, each as its documentation
// gives it. A platform grades one submission a run: these writers report the
// first program of the report.
#include <nlohmann/json.hpp>
#include <ostream>

#include "grading/Report.h"

namespace Vorn::Grading {

namespace {

using Json = nlohmann::ordered_json;

std::string text(std::string_view raw) {
    return validUtf8(raw);
}

// What a student reads about the whole submission: with coverage, which
// lines no case ran too.
std::string summaryLine(const Report& report, const ProgramResult& program) {
    std::string line = program.file + ": " + std::to_string(program.score) + "/" +
                       std::to_string(program.maxScore) + " points";
    if (const std::string* error = program.error()) {
        line += "\n" + *error;
    }
    if (report.coverage && !program.lineRuns.empty()) {
        line += "\n" + uncoveredSentence(program);
    }
    return line;
}

// What a case's entry says: its feedback when shown, else only its verdict;
// for a program that could not be run, the verdict (its error is said once).
std::string caseMessage(const Report& report, const ProgramResult& program, std::size_t i) {
    const CaseResult& result = program.cases[i];
    if (result.verdict == Verdict::Pass) {
        return "";
    }
    if (program.error() != nullptr || !showsDetails(report, report.suite.cases[i])) {
        return std::string(nameOf(result.verdict));
    }
    return std::string(nameOf(result.verdict)) + ": " + std::string(problemOf(result));
}

std::string caseCommands(const Report& report, const ProgramResult& program, std::size_t i) {
    return showsDetails(report, report.suite.cases[i]) ? std::string(commandsOf(program.cases[i]))
                                                       : std::string();
}

void write(std::ostream& out, const Json& document) {
    out << document.dump() << '\n';
}

}  // namespace

void writeGradescope(std::ostream& out, const Report& report) {
    const ProgramResult& program = report.programs.front();
    Json tests = Json::array();
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        const CaseResult& result = program.cases[i];
        const Case& test = report.suite.cases[i];
        Json entry = {{"name", text(test.name)},
                      {"score", result.points},
                      {"max_score", test.points},
                      {"status", result.verdict == Verdict::Pass ? "passed" : "failed"}};
        std::string output = caseMessage(report, program, i);
        if (const std::string commands = caseCommands(report, program, i); !commands.empty()) {
            output += "\n" + commands;
        }
        entry["output"] = text(output);
        entry["visibility"] = nameOf(test.visibility);
        tests.push_back(std::move(entry));
    }
    // Every string as plain text: the default for the top-level output
    // renders HTML, which a file name must not be able to write.
    write(out, {{"score", program.score},
                {"execution_time", report.seconds},
                {"output", text(summaryLine(report, program))},
                {"output_format", "text"},
                {"test_output_format", "text"},
                {"test_name_format", "text"},
                {"tests", std::move(tests)}});
}

void writePrairieLearn(std::ostream& out, const Report& report) {
    const ProgramResult& program = report.programs.front();
    if (!program.notASource.empty()) {
        // Not counted as an attempt: the student handed in no source at all.
        write(out, {{"gradable", false},
                    {"message", text(program.notASource)},
                    {"format_errors", Json::array({text(program.notASource)})}});
        return;
    }
    Json tests = Json::array();
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        tests.push_back({{"name", text(report.suite.cases[i].name)},
                         {"points", program.cases[i].points},
                         {"max_points", report.suite.cases[i].points},
                         {"message", text(caseMessage(report, program, i))},
                         {"output", text(caseCommands(report, program, i))}});
    }
    // From 0 to 1; a suite worth no points scores its passes.
    const double score = program.maxScore > 0 ? static_cast<double>(program.score) /
                                                    static_cast<double>(program.maxScore)
                                              : (program.passed() ? 1.0 : 0.0);
    write(out, {{"gradable", true},
                {"score", score},
                {"message", text(summaryLine(report, program))},
                {"tests", std::move(tests)}});
}

void writeGitHubClassroom(std::ostream& out, const Report& report) {
    const ProgramResult& program = report.programs.front();
    const bool error = program.error() != nullptr;
    Json tests = Json::array();
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        const CaseResult& result = program.cases[i];
        const bool passed = result.verdict == Verdict::Pass;
        const std::string message = caseMessage(report, program, i);
        tests.push_back({{"name", text(report.suite.cases[i].name)},
                         {"status", passed ? "pass" : (error ? "error" : "fail")},
                         {"score", result.points},
                         {"message", message.empty() ? Json(nullptr) : Json(text(message))},
                         {"test_code", text(caseCommands(report, program, i))},
                         {"filename", text(program.file)},
                         {"line_no", 0}});
    }
    if (error) {
        tests.front()["message"] = text(*program.error());
    }
    write(out, {{"version", 1},
                {"status", error ? "error" : (program.passed() ? "pass" : "fail")},
                {"max_score", program.maxScore},
                {"tests", std::move(tests)}});
}

}  // namespace Vorn::Grading
