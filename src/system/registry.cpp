#include "system/registry.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/kv_store.h"

namespace tb {

namespace {

// The stored kinds.
constexpr int kKindString = 1;
constexpr int kKindBinary = 3;

const struct {
    RegistryRoot root;
    const char* name;
    const char* abbreviation;
} kRoots[] = {
    {RegistryRoot::kCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RegistryRoot::kLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RegistryRoot::kClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RegistryRoot::kUsers, "HKEY_USERS", "HKU"},
};

bool EqualNoCase(std::string_view a, const char* b) {
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

std::string RealBytes(double value) {
    // Little-endian, as the original platform stored its binary doubles.
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[size_t(i)] = char((bits >> (8 * i)) & 0xFF);
    return out;
}

double RealFromBytes(const std::string& bytes) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(uint8_t(bytes[size_t(i)])) << (8 * i);
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}

}  // namespace

const char* RegistryRootName(RegistryRoot root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.name;
    return kRoots[0].name;
}

std::optional<RegistryRoot> ParseRegistryRoot(std::string_view name) {
    for (const auto& r : kRoots)
        if (EqualNoCase(name, r.name) || EqualNoCase(name, r.abbreviation)) return r.root;
    return std::nullopt;
}

RegistryRoot RegistryRootFromNumber(int number) {
    return number >= 0 && number <= 3 ? RegistryRoot(number) : RegistryRoot::kCurrentUser;
}

std::string NormalizeRegistryKey(std::string_view key) {
    std::string out;
    size_t i = 0;
    while (i < key.size()) {
        size_t end = i;
        while (end < key.size() && key[end] != '\\' && key[end] != '/') ++end;
        if (end > i) {
            if (!out.empty()) out += '\\';
            out.append(key.substr(i, end - i));
        }
        i = end + 1;
    }
    return out;
}

std::string DefaultRegistryPath() {
    namespace fs = std::filesystem;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) {
            const passwd* pw = getpwuid(getuid());
            home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
        }
        base = fs::path(home) / ".local" / "share";
    }
    return (base / "tamberlo" / "registry.db").string();
}

Registry::Registry(std::string database_path) : path_(std::move(database_path)) {}
Registry::~Registry() = default;

KeyValueStore* Registry::Store(bool create) {
    if (store_) return store_.get();
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!create && !fs::exists(path_, ec)) return nullptr;
    if (create) {
        fs::path folder = fs::path(path_).parent_path();
        if (!folder.empty()) fs::create_directories(folder, ec);
    }
    error_.clear();
    store_ = KeyValueStore::Open(path_, error_);
    return store_.get();
}

bool Registry::WriteString(std::string_view key, std::string_view name, std::string_view value,
                           RegistryRoot root) {
    KeyValueStore* store = Store(true);
    return store && store->Put(int(root), NormalizeRegistryKey(key), name,
                               StoredValue{kKindString, std::string(value)});
}

bool Registry::WriteReal(std::string_view key, std::string_view name, double value,
                         RegistryRoot root) {
    KeyValueStore* store = Store(true);
    return store && store->Put(int(root), NormalizeRegistryKey(key), name,
                               StoredValue{kKindBinary, RealBytes(value)});
}

std::optional<std::string> Registry::ReadString(std::string_view key, std::string_view name,
                                                RegistryRoot root) {
    KeyValueStore* store = Store(false);
    StoredValue v;
    if (!store || !store->Get(int(root), NormalizeRegistryKey(key), name, v) ||
        v.kind != kKindString)
        return std::nullopt;
    return v.data;
}

std::optional<double> Registry::ReadReal(std::string_view key, std::string_view name,
                                         RegistryRoot root) {
    KeyValueStore* store = Store(false);
    StoredValue v;
    if (!store || !store->Get(int(root), NormalizeRegistryKey(key), name, v) ||
        v.kind != kKindBinary || v.data.size() != 8)
        return std::nullopt;
    return RealFromBytes(v.data);
}

bool Registry::ValueExists(std::string_view key, std::string_view name, RegistryRoot root) {
    KeyValueStore* store = Store(false);
    StoredValue v;
    return store && store->Get(int(root), NormalizeRegistryKey(key), name, v);
}

bool Registry::CreateKey(std::string_view key, RegistryRoot root) {
    KeyValueStore* store = Store(true);
    if (!store) return false;
    // A key that is there costs a read, not a synced write.
    std::string path = NormalizeRegistryKey(key);
    return store->KeyExists(int(root), path) || store->CreateKey(int(root), path);
}

bool Registry::KeyExists(std::string_view key, RegistryRoot root) {
    KeyValueStore* store = Store(false);
    return store && store->KeyExists(int(root), NormalizeRegistryKey(key));
}

bool Registry::DeleteValue(std::string_view key, std::string_view name, RegistryRoot root) {
    KeyValueStore* store = Store(false);
    return store && store->DeleteValue(int(root), NormalizeRegistryKey(key), name);
}

bool Registry::DeleteKey(std::string_view key, RegistryRoot root) {
    KeyValueStore* store = Store(false);
    if (!store) return false;
    std::string path = NormalizeRegistryKey(key);
    if (!store->KeyExists(int(root), path)) {
        // A key that only exists through its sub-keys still goes with them.
        std::vector<StoredEntry> all;
        bool found = false;
        if (store->List(all))
            for (const StoredEntry& e : all)
                if (e.root == int(root) && e.path.size() > path.size() &&
                    strncasecmp(e.path.c_str(), (path + '\\').c_str(), path.size() + 1) == 0)
                    found = true;
        if (!found) return false;
    }
    return store->DeleteKey(int(root), path, path + '\\');
}

bool Registry::List(std::vector<RegistryEntry>& out) {
    out.clear();
    KeyValueStore* store = Store(false);
    if (!store) {
        std::error_code ec;
        return !std::filesystem::exists(path_, ec);
    }
    std::vector<StoredEntry> entries;
    if (!store->List(entries)) return false;
    for (StoredEntry& e : entries) {
        RegistryEntry r;
        r.root = RegistryRootFromNumber(e.root);
        r.key = std::move(e.path);
        if (e.has_value) {
            r.name = std::move(e.name);
            if (e.value.kind == kKindString) {
                r.kind = RegistryEntry::Kind::kString;
                r.text = std::move(e.value.data);
            } else if (e.value.kind == kKindBinary && e.value.data.size() == 8) {
                r.kind = RegistryEntry::Kind::kReal;
                r.real = RealFromBytes(e.value.data);
            } else {
                r.kind = RegistryEntry::Kind::kBinary;
                r.text = std::move(e.value.data);
            }
        }
        out.push_back(std::move(r));
    }
    return true;
}

bool ReadSecureModeFlag(Registry& registry) {
    const char* key = "\\Software\\Tamberlo";
    if (std::optional<double> v = registry.ReadReal(key, "SecureMode")) return *v != 0;
    std::optional<std::string> text = registry.ReadString(key, "SecureMode");
    if (!text) return false;
    for (const char* yes : {"1", "true", "yes", "on"})
        if (EqualNoCase(*text, yes)) return true;
    return false;
}

}  // namespace tb
