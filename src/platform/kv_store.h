// A durable key-value store in one database file, shared safely between processes: values
// live under a root number and a key path and have a name, a kind and bytes. Paths and names
// compare without regard to ASCII letter case. Every write is one transaction that is on disk
// when the call returns; a writer waits (up to a few seconds) for another process's write.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

struct StoredValue {
    int kind = 0;      // the caller's type tag
    std::string data;  // bytes, kept exactly
};

struct StoredEntry {
    int root = 0;
    std::string path;
    bool has_value = false;  // false: a key created without values
    std::string name;
    StoredValue value;
};

class KeyValueStore {
  public:
    // Opens or creates the database file (its folder must exist). Null with `error` set
    // when the file cannot be opened or is not such a store.
    static std::unique_ptr<KeyValueStore> Open(const std::string& file, std::string& error);
    virtual ~KeyValueStore() = default;

    // False when the value is missing or cannot be read.
    virtual bool Get(int root, std::string_view path, std::string_view name, StoredValue& out) = 0;
    // Creates the key when missing and replaces the value.
    virtual bool Put(int root, std::string_view path, std::string_view name,
                     const StoredValue& value) = 0;
    virtual bool CreateKey(int root, std::string_view path) = 0;
    virtual bool KeyExists(int root, std::string_view path) = 0;
    // True when a value was there and is gone.
    virtual bool DeleteValue(int root, std::string_view path, std::string_view name) = 0;
    // The key, its values and every key whose path starts with `subkey_prefix`, with theirs.
    virtual bool DeleteKey(int root, std::string_view path, std::string_view subkey_prefix) = 0;
    // Every key and value, ordered by root, path and name.
    virtual bool List(std::vector<StoredEntry>& out) = 0;
    // The database's own consistency check.
    virtual bool Check() = 0;
};

}  // namespace tb
