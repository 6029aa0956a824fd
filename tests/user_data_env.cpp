// Every test process keeps its per-user data (the registry store) in a folder of its own, so
// nothing touches the real user's store.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

struct UserDataFolder {
    std::string path;
    UserDataFolder() {
        char pattern[] = "/tmp/tb_userdata_XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
        setenv("XDG_DATA_HOME", path.empty() ? "/nonexistent/tb_userdata" : path.c_str(), 1);
    }
    ~UserDataFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

const UserDataFolder folder;

}  // namespace
