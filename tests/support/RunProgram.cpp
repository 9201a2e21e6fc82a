#include "support/RunProgram.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace Vorn::Testing {

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorn-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

namespace {

std::size_t residentMb(pid_t process) {
    std::ifstream statm("/proc/" + std::to_string(process) + "/statm");
    std::size_t pages = 0;
    std::size_t residentPages = 0;
    statm >> pages >> residentPages;
    return residentPages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) >> 20;
}

// Waits for the child, killing it if it passes a limit; fills the status,
// the peak memory and the limit passed.
void waitWithin(pid_t child, const Limits& limits, ProgramResult& result) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.seconds);
    const bool bounded = limits.seconds > 0 || limits.memoryMb > 0;
    int waitStatus = 0;
    struct rusage usage {};
    while (::wait4(child, &waitStatus, bounded ? WNOHANG : 0, &usage) == 0) {
        if (limits.seconds > 0 && Clock::now() > deadline) {
            result.limitPassed = "time";
        } else if (limits.memoryMb > 0 && residentMb(child) > limits.memoryMb) {
            result.limitPassed = "memory";
        } else {
            ::usleep(2000);
            continue;
        }
        ::kill(child, SIGKILL);
        ::wait4(child, &waitStatus, 0, &usage);
        break;
    }
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    result.peakMemoryMb = static_cast<std::size_t>(usage.ru_maxrss) >> 10;
}

}  // namespace

ProgramResult runProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& input, const Limits& limits) {
    TemporaryDirectory streams;
    const std::string inPath = streams.file("stdin");
    const std::string outPath = streams.file("stdout");
    const std::string errPath = streams.file("stderr");
    writeFile(inPath, input);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("cannot start " + path);
    }
    if (child == 0) {
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0) {
            ::_exit(127);
        }
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ProgramResult result;
    waitWithin(child, limits, result);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

}  // namespace Vorn::Testing
