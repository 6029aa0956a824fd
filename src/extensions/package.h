// Extension packages: library, script and other files with functions and constants that
// extend the script language.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runner/stream.h"

namespace tb {

class CExtensionConstant {
  public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    bool operator==(const CExtensionConstant&) const = default;

    std::string name;
    std::string value;  // the value as text, compiled when the constant is defined
};

class CExtensionFunction {
  public:
    static constexpr int32_t kCdecl = 12;  // any other convention is stdcall
    static constexpr int kArgumentSlots = 17;

    // Trims the names, fills an empty external name, widens > 4 arguments to all-real and
    // reads a result type outside 1..2 as real.
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    bool operator==(const CExtensionFunction&) const = default;

    std::string name;           // as called from scripts
    std::string external_name;  // exported symbol, or the script section of the code
    int32_t calling_convention = 0;
    int32_t id = 0;                                        // unique over all packages
    int32_t argument_count = 0;                            // -1: any number
    std::array<int32_t, kArgumentSlots> argument_types{};  // 1 string, 2 real
    int32_t result_type = 2;                               // 1 string, 2 real
    std::string code;  // script text (script files only), taken from the file's contents
};

class CExtensionFile {
  public:
    enum Kind : int32_t { kLibrary = 1, kScript = 2, kNoContents = 3, kOther = 4 };

    // The record only; the contents come from the package's contents block.
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    bool operator==(const CExtensionFile&) const = default;

    std::string file_name;
    int32_t kind = kOther;  // values beyond 1..4 keep their contents but go unused
    std::string init_function;
    std::string final_function;
    std::vector<CExtensionFunction> functions;
    std::vector<CExtensionConstant> constants;
    std::vector<uint8_t> contents;  // inflated file contents; always empty for kind 3
};

class CExtensionPackage {
  public:
    // The record with its contents block; script files are split into their functions.
    // Touches no disk (see WriteExtensionFiles).
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    bool operator==(const CExtensionPackage&) const = default;

    std::string name;
    std::string folder_name;  // the package's folder under the temporary directory
    std::vector<CExtensionFile> files;
};

// Cuts a script file's contents into "#define NAME" sections and gives each function of the
// file the text of the last section named like its external name. Other kinds get no code.
void SplitScriptFile(CExtensionFile& file);

// Creates temp_dir/folder and writes the library and other files into it. False when a
// folder or file name would leave temp_dir (absolute, "..", empty) or writing fails.
bool WriteExtensionFiles(const CExtensionPackage& package, const std::string& temp_dir);

// The list: version 700, count, packages. Files are written below `temp_dir` unless it is
// empty (the pack tool reads packages without writing them out). False for a bad version,
// an unsafe name or a failed write; a truncated list raises StreamError.
bool LoadExtensionPackages(CStream& s, std::vector<CExtensionPackage>& packages,
                           const std::string& temp_dir);
void WriteExtensionPackages(CStream& s, const std::vector<CExtensionPackage>& packages);

// Id of the first function with exactly this name over all packages, or -1.
int FindExtensionFunction(const std::vector<CExtensionPackage>& packages, std::string_view name);
// Argument count (0 for an unknown id) and name ("" for an unknown id) of function `id`.
int ExtensionFunctionArgCount(const std::vector<CExtensionPackage>& packages, int id);
std::string ExtensionFunctionName(const std::vector<CExtensionPackage>& packages, int id);

}  // namespace tb
