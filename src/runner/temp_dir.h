// The run's private temporary directory: created at start, removed with its content at the
// end. The directories that dead runs left behind are removed at the next start. Included files,
// sounds played from files and extension package files go there.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

class TempDirectory {
  public:
    // random(n) gives an integer from 0 to n - 1. `on_failure` receives the message shown
    // when no directory could be made. `getenv` looks up an environment variable (the
    // process environment when empty).
    using Random = std::function<int(int)>;
    using Environment = std::function<std::optional<std::string>(const char*)>;

    TempDirectory(Random random, std::function<void(std::string_view)> on_failure,
                  Environment getenv = {});
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // The directory's host path (also kept when creating it failed: the last attempt).
    const std::string& Path() const { return path_; }
    const std::string& Base() const { return base_; }
    bool Created() const { return created_; }
    // A name in the directory that is not taken yet; the file is not created. `extension`
    // comes with its dot. Empty when no free name turned up.
    std::string TempFileName(std::string_view extension) const;

    static constexpr const char* kFailureMessage =
        "Failed to create temp dir. This can cause serious problems with sounds, etc.";

  private:
    bool TryBase(const std::string& base);

    Random random_;
    std::string base_;
    std::string path_;
    bool created_ = false;  // only a directory this run made is ever removed
    int lock_ = -1;         // the open directory, locked while the run lives
};

}  // namespace tb
