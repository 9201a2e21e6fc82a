// The source file's text, whole in memory for the lexer: mapped from the file
// where the system allows (no copy, and the pages come from the file cache),
// otherwise read from the stream (a pipe, say).
#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace Vorn {

class SourceFile {
  public:
    // `path` was opened as `stream`; the stream is read only when mapping fails.
    SourceFile(const char* path, std::istream& stream);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    std::string_view text() const { return text_; }

  private:
    void* mapping_ = nullptr;
    std::string read_;
    std::string_view text_;
};

}  // namespace Vorn
