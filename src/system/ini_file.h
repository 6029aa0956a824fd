// The INI file of the script functions. Sections and keys compare without regard to letter
// case and the first match wins; a file is written as "[section]" lines followed by
// "key=value" lines, a new key at the end of its section and a new section at the end of the
// file. Comments (";" or "#") and lines that are neither keep their place. Every change is in
// the file at once: the whole file is written under a temporary name and renamed over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class IniFile {
  public:
    // The file need not exist.
    explicit IniFile(std::string host_path);

    std::optional<std::string> Read(std::string_view section, std::string_view key);
    bool KeyExists(std::string_view section, std::string_view key);
    bool SectionExists(std::string_view section);
    // False when the file could not be written (it is then unchanged).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

  private:
    // Reads the file again when it changed on disk since the last look.
    void Refresh();
    bool Save(const std::vector<std::string>& lines);
    // Line index of the first section header of that name, or -1.
    int FindSection(std::string_view section) const;
    // The line after the section's last line.
    size_t SectionEnd(size_t header) const;
    int FindKey(std::string_view section, std::string_view key) const;

    std::string path_;
    std::vector<std::string> lines_;
    struct Stamp {
        int64_t size = -1, mtime_ns = 0, inode = 0;
        bool operator==(const Stamp&) const = default;
    } stamp_;
};

// The tolerant number reader of ini_read_real: "," is a decimal point too, every "-" flips a
// sign, and anything unexpected ends the number.
double TolerantReal(std::string_view text);
// The real as the platform's general float text: 15 significant digits, exponent form
// ("1E20", "1.5E-6") below 0.00001 and from 1e15 on.
std::string GeneralRealText(double value);

}  // namespace tb
