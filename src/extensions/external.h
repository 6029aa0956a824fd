// The external function table: functions of host shared libraries, defined by library, symbol
// and signature, called by id with script values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_calls.h"
#include "script/value.h"

namespace tb {

constexpr int32_t kDllCdecl = 0;
constexpr int32_t kDllStdcall = 1;
constexpr int32_t kTypeReal = 0;
constexpr int32_t kTypeString = 1;
constexpr int kMaxExternalArguments = 16;

// Where the libraries a game names are searched (see FindLibrary).
struct LibrarySearch {
    std::string game_folder;        // the folder of the game file; "" to skip
    std::string working_directory;  // "" for the process's current one
    bool system_path = true;        // last, the system's library path
};

// The file to load for a library name as a game gives it: "name.dll" (any letter case) is
// looked for as "name.so", then "libname.so"; other names as they are. The folder the game
// gives comes first, then the game's folder, then the working directory. A file that starts
// with "MZ" (a Windows library) is passed over. Returns "" when none is found in a folder;
// `bare` then lists the names to try on the system's library path.
std::string FindLibrary(std::string_view dll, const LibrarySearch& search,
                        std::vector<std::string>* bare = nullptr);

class ExternalFunctions {
  public:
    ExternalFunctions();
    ~ExternalFunctions();
    ExternalFunctions(const ExternalFunctions&) = delete;
    ExternalFunctions& operator=(const ExternalFunctions&) = delete;

    // The id of the new function, or -1: more than 16 arguments, strings among more than 4,
    // a library that does not load, or no function of that name in it.
    int Define(std::string_view dll, const std::string& symbol, int32_t convention,
               bool string_result, int argc, const bool* string_arguments);
    // The function's result; real 0 when nothing is called (an id outside the table, a
    // count other than the defined one, a freed library, or after a crash). False when the
    // function crashed: every library is then left alone for the rest of the run.
    bool Call(int id, int argc, const RValue* args, RValue& result);
    // Unloads the library (compared without regard to case) for every id that uses it.
    void Free(std::string_view dll);
    void FreeAll();

    int Count() const { return int(records_.size()); }
    // The symbol of function `id`, "" outside the table.
    std::string Name(int id) const;
    bool Crashed() const { return crashed_; }

    LibrarySearch search;

  private:
    struct Record {
        std::string library;
        std::shared_ptr<NativeLibrary> handle;  // null once freed
        std::string symbol;
        int32_t convention = kDllCdecl;
        int argc = 0;
        std::array<bool, kMaxExternalArguments> strings{};
        bool string_result = false;
        std::unique_ptr<NativeFunction> function;
    };
    std::shared_ptr<NativeLibrary> Load(std::string_view dll);

    std::vector<Record> records_;
    NativeCallGuard guard_;
    bool crashed_ = false;
    std::string scratch_;  // a string result on its way into a script value
};

}  // namespace tb
