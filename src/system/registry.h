// The per-user registry: values under a root and a backslash-separated key path, kept in one
// database file ($XDG_DATA_HOME/tamberlo/registry.db, default ~/.local/share/tamberlo/...).
//
// Using it: the running game's Registry is `engine.system->registry` (system/system_state.h).
//     Registry& reg = engine.system->registry;
//     reg.WriteString("\\Software\\Plumwright\\Scores\\42", "Rank1", encoded);
//     std::string text = reg.ReadString("\\Software\\Plumwright\\Scores\\42", "Rank1")
//                            .value_or("");
//     reg.WriteReal(key, "Volume", 0.5);   std::optional<double> v = reg.ReadReal(key, "Volume");
// Key paths and value names compare without regard to letter case; leading, trailing and
// doubled backslashes do not matter ("Software\\X" and "\\software\\x\\" are the same key).
// The root defaults to HKEY_CURRENT_USER. Every write is on disk when the call returns and is
// safe while another runner writes the same store; failures are reported by the results
// (false, or an empty optional), never thrown. The database is created on the first write;
// reading a store that does not exist yet finds nothing.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class KeyValueStore;

enum class RegistryRoot { kCurrentUser = 0, kLocalMachine = 1, kClassesRoot = 2, kUsers = 3 };

// "HKEY_CURRENT_USER" ...; parses those names (or HKCU, HKLM, HKCR, HKU) back, any case.
const char* RegistryRootName(RegistryRoot root);
std::optional<RegistryRoot> ParseRegistryRoot(std::string_view name);
// The number of registry_set_root: 0 .. 3, anything else the current user.
RegistryRoot RegistryRootFromNumber(int number);

// Backslashes or slashes as separators, empty parts dropped: "a\b".
std::string NormalizeRegistryKey(std::string_view key);

// $XDG_DATA_HOME/tamberlo/registry.db; without an absolute XDG_DATA_HOME,
// $HOME/.local/share/tamberlo/registry.db.
std::string DefaultRegistryPath();

struct RegistryEntry {
    RegistryRoot root = RegistryRoot::kCurrentUser;
    std::string key;  // normalized
    enum class Kind { kNoValue, kString, kReal, kBinary } kind = Kind::kNoValue;
    std::string name;
    std::string text;   // kString; kBinary: the raw bytes
    double real = 0.0;  // kReal
};

class Registry {
  public:
    explicit Registry(std::string database_path = DefaultRegistryPath());
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const std::string& DatabasePath() const { return path_; }

    // Strings are byte strings; reals are stored as 8-byte binary doubles. Writing creates the
    // key. A string read of a real value, or a real read of a string, finds nothing.
    bool WriteString(std::string_view key, std::string_view name, std::string_view value,
                     RegistryRoot root = RegistryRoot::kCurrentUser);
    bool WriteReal(std::string_view key, std::string_view name, double value,
                   RegistryRoot root = RegistryRoot::kCurrentUser);
    std::optional<std::string> ReadString(std::string_view key, std::string_view name,
                                          RegistryRoot root = RegistryRoot::kCurrentUser);
    std::optional<double> ReadReal(std::string_view key, std::string_view name,
                                   RegistryRoot root = RegistryRoot::kCurrentUser);
    // True when a value of that name (of any kind) exists.
    bool ValueExists(std::string_view key, std::string_view name,
                     RegistryRoot root = RegistryRoot::kCurrentUser);
    bool CreateKey(std::string_view key, RegistryRoot root = RegistryRoot::kCurrentUser);
    bool KeyExists(std::string_view key, RegistryRoot root = RegistryRoot::kCurrentUser);
    // True when the value was there.
    bool DeleteValue(std::string_view key, std::string_view name,
                     RegistryRoot root = RegistryRoot::kCurrentUser);
    // The key with its values and sub-keys.
    bool DeleteKey(std::string_view key, RegistryRoot root = RegistryRoot::kCurrentUser);
    // Every key and value; false when the store cannot be read (a missing store is empty).
    bool List(std::vector<RegistryEntry>& out);

    // Why the store could not be opened the last time it was tried (empty otherwise).
    const std::string& LastError() const { return error_; }

  private:
    // Opens the store on first use; `create` makes the folder and the file when missing.
    KeyValueStore* Store(bool create);

    std::string path_;
    std::string error_;
    std::unique_ptr<KeyValueStore> store_;
};

// The secure-mode flag: the value "SecureMode" under HKEY_CURRENT_USER "\Software\Tamberlo",
// a real other than 0 or a string "1", "true", "yes" or "on" (any case); false when missing.
bool ReadSecureModeFlag(Registry& registry);

}  // namespace tb
