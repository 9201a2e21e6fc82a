// Runs a program as a user would and collects what it did.
#pragma once

#include <string>
#include <vector>

namespace Vorn::Testing {

struct ProgramResult {
    int status = -1;  // the exit status, or -1 if the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `path` with `arguments` (not counting the program name), standard input
// taken from `input` (a string fed through a file), and waits for it.
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& input = "");

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

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);

}  // namespace Vorn::Testing
