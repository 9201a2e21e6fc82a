// Runs a program as a user would and collects what it did.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Vorn::Testing {

struct ProgramResult {
    int status = -1;  // the exit status, or -1 if the program did not exit normally
    std::string out;
    std::string err;
    std::size_t peakMemoryMb = 0;  // the largest resident size the program reached
    // "time" or "memory" when the program passed that limit and was killed.
    std::string limitPassed;
};

// Bounds for one run; 0 is no bound. A program that passes one is killed, so
// a hang or a runaway allocation fails its test instead of stalling the suite
// or the machine. The memory bound is on the resident size, which sanitizers
// can bear (they reserve far more address space than they use).
struct Limits {
    int seconds = 0;
    std::size_t memoryMb = 0;
};

// Runs `path` with `arguments` (not counting the program name), standard input
// taken from `input` (a string fed through a file), and waits for it.
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& input = "", const Limits& limits = {});

// A fresh directory that is removed with the object.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Whether this test was built with AddressSanitizer, whose shadow memory
// needs more address space than a test's `ulimit -v` leaves.
inline bool builtWithSanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);

}  // namespace Vorn::Testing
