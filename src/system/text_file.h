// One text file of the script functions: read with either line end (CR LF or LF, a lone CR
// too), written with CR LF as the original platform wrote.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tb {

class TextFile {
  public:
    enum class Mode { kClosed = 0, kRead = 1, kWrite = 2 };

    // False when the file cannot be opened (a folder cannot either).
    bool OpenRead(const std::string& host_path);
    bool OpenWrite(const std::string& host_path, bool append);
    // False when closing, or a write before it, failed. The file is closed either way.
    bool Close();
    Mode mode() const { return mode_; }

    bool Eof();
    // The characters up to the line end, which stays unread. False on a read failure.
    bool ReadString(std::string& out);
    // Skips blanks and line ends and reads one number; at the end of the file 0. False when
    // the text there is not a number (it is consumed) or reading failed.
    bool ReadReal(double& out);
    // Skips past the next line end.
    bool ReadLine();
    bool Write(std::string_view text);

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    Mode mode_ = Mode::kClosed;
    bool failed_ = false;  // a write failed since opening
};

// " " + the real in fixed notation with 4 decimals and at most 10 significant digits; a value
// of 1e10 or more in magnitude in exponent notation.
std::string TextFileRealText(double value);

}  // namespace tb
