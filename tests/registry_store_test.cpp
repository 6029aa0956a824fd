#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <thread>

#include "harness.h"
#include "system/registry.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

TEST(RegistryStore, DefaultPathFollowsXdgDataHome) {
    std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", "/some/where", 1);
    EXPECT_EQ(DefaultRegistryPath(), "/some/where/tamberlo/registry.db");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(DefaultRegistryPath(), "/home/someone/.local/share/tamberlo/registry.db");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
    EXPECT_EQ(DefaultRegistryPath().rfind(saved, 0), 0u);
}

TEST(RegistryStore, KeyPathsAndRoots) {
    EXPECT_EQ(NormalizeRegistryKey("\\Software\\\\Plumwright\\12\\"), "Software\\Plumwright\\12");
    EXPECT_EQ(NormalizeRegistryKey("a/b"), "a\\b");
    EXPECT_EQ(NormalizeRegistryKey("\\"), "");
    EXPECT_EQ(ParseRegistryRoot("hklm"), RegistryRoot::kLocalMachine);
    EXPECT_EQ(ParseRegistryRoot("HKEY_USERS"), RegistryRoot::kUsers);
    EXPECT_FALSE(ParseRegistryRoot("HKEY_NOWHERE"));
    EXPECT_EQ(RegistryRootFromNumber(2), RegistryRoot::kClassesRoot);
    EXPECT_EQ(RegistryRootFromNumber(7), RegistryRoot::kCurrentUser);
    EXPECT_EQ(RegistryRootFromNumber(-1), RegistryRoot::kCurrentUser);
}

TEST(RegistryStore, RoundTripsEveryRootCaseInsensitively) {
    test::ScratchDir dir;
    const std::string db = dir / "store/registry.db";
    const double reals[] = {0.0,    -0.0,   1.0 / 3.0,
                            -1e300, 5e-324, std::numeric_limits<double>::infinity()};
    {
        Registry reg(db);
        for (int r = 0; r < 4; ++r) {
            RegistryRoot root = RegistryRoot(r);
            std::string key = "\\Software\\Plumwright\\" + std::to_string(r);
            ASSERT_TRUE(reg.WriteString(key, "Name", "root " + std::to_string(r), root));
            ASSERT_TRUE(reg.WriteString(key, "Bytes", std::string("a\0\xff\r\n", 5), root));
            for (size_t i = 0; i < std::size(reals); ++i)
                ASSERT_TRUE(reg.WriteReal(key, "Real" + std::to_string(i), reals[i], root));
            ASSERT_TRUE(reg.WriteReal(key, "NaN", std::nan(""), root));
        }
    }
    // A second "run" reads everything back through other spellings of the same keys.
    Registry reg(db);
    for (int r = 0; r < 4; ++r) {
        RegistryRoot root = RegistryRoot(r);
        std::string key = "software/PLUMWRIGHT\\" + std::to_string(r) + "\\";
        EXPECT_EQ(reg.ReadString(key, "name", root), "root " + std::to_string(r));
        EXPECT_EQ(reg.ReadString(key, "BYTES", root), std::string("a\0\xff\r\n", 5));
        for (size_t i = 0; i < std::size(reals); ++i) {
            std::optional<double> v = reg.ReadReal(key, "real" + std::to_string(i), root);
            ASSERT_TRUE(v);
            EXPECT_EQ(std::memcmp(&*v, &reals[i], 8), 0) << i;
        }
        EXPECT_TRUE(std::isnan(reg.ReadReal(key, "nan", root).value_or(0)));
        // The roots are separate trees.
        RegistryRoot other = RegistryRoot((r + 1) % 4);
        EXPECT_FALSE(reg.ReadString(key, "Name", other));
    }
}

TEST(RegistryStore, KindsMissingValuesAndDeletion) {
    test::ScratchDir dir;
    Registry reg(dir / "registry.db");
    // Reading a store that does not exist finds nothing and creates nothing.
    EXPECT_FALSE(reg.ReadString("Software\\X", "A"));
    EXPECT_FALSE(reg.ValueExists("Software\\X", "A"));
    EXPECT_FALSE(reg.KeyExists("Software\\X"));
    std::vector<RegistryEntry> list;
    EXPECT_TRUE(reg.List(list));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(fs::exists(dir / "registry.db"));

    ASSERT_TRUE(reg.WriteString("Software\\X", "S", "text"));
    ASSERT_TRUE(reg.WriteReal("Software\\X", "R", 2.5));
    ASSERT_TRUE(reg.CreateKey("Software\\X\\Empty"));
    ASSERT_TRUE(reg.WriteString("Software\\X\\Sub", "S", "deep"));
    ASSERT_TRUE(reg.WriteString("Software\\XY", "S", "sibling"));
    // A value is read only as its own kind.
    EXPECT_FALSE(reg.ReadReal("Software\\X", "S"));
    EXPECT_FALSE(reg.ReadString("Software\\X", "R"));
    EXPECT_TRUE(reg.ValueExists("Software\\X", "r"));
    EXPECT_TRUE(reg.KeyExists("software\\x\\empty"));
    // Rewriting replaces the value and its kind.
    ASSERT_TRUE(reg.WriteString("Software\\X", "r", "now text"));
    EXPECT_EQ(reg.ReadString("Software\\X", "R"), "now text");

    ASSERT_TRUE(reg.List(list));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].key, "Software\\X");
    EXPECT_EQ(list[2].key, "Software\\X\\Empty");
    EXPECT_EQ(list[2].kind, RegistryEntry::Kind::kNoValue);

    EXPECT_TRUE(reg.DeleteValue("SOFTWARE\\x", "S"));
    EXPECT_FALSE(reg.DeleteValue("Software\\X", "S"));
    EXPECT_TRUE(reg.DeleteKey("software\\x"));
    EXPECT_FALSE(reg.ValueExists("Software\\X\\Sub", "S"));
    EXPECT_FALSE(reg.KeyExists("Software\\X\\Empty"));
    EXPECT_EQ(reg.ReadString("Software\\XY", "S"), "sibling");
    EXPECT_FALSE(reg.DeleteKey("Software\\Nothing"));
}

TEST(RegistryStore, UnusableLocationFailsQuietly) {
    test::ScratchDir dir;
    test::WriteText(dir.path / "file", "not a folder");
    Registry in_file(dir / "file/registry.db");
    EXPECT_FALSE(in_file.WriteString("K", "N", "V"));
    EXPECT_FALSE(in_file.ReadString("K", "N"));
    test::WriteText(dir.path / "garbage.db", std::string(4096, 'x'));
    Registry garbage(dir / "garbage.db");
    EXPECT_FALSE(garbage.WriteString("K", "N", "V"));
    EXPECT_FALSE(garbage.ReadString("K", "N"));
    EXPECT_FALSE(garbage.LastError().empty());
}

// Child processes of the tests below: they leave through _exit so nothing of the parent's
// test framework runs twice.
[[noreturn]] void WriteMany(const std::string& db, const std::string& prefix, int count) {
    Registry reg(db);
    bool ok = true;
    for (int i = 0; i < count; ++i)
        ok = reg.WriteReal("Software\\Both", prefix + std::to_string(i), i) && ok;
    _exit(ok ? 0 : 1);
}

TEST(RegistryStore, TwoProcessesWriteAtOnce) {
    test::ScratchDir dir;
    const std::string db = dir / "registry.db";
    const int kCount = 150;
    pid_t a = fork();
    if (a == 0) WriteMany(db, "a", kCount);
    pid_t b = fork();
    if (b == 0) WriteMany(db, "b", kCount);
    int status_a = -1, status_b = -1;
    waitpid(a, &status_a, 0);
    waitpid(b, &status_b, 0);
    EXPECT_TRUE(WIFEXITED(status_a) && WEXITSTATUS(status_a) == 0);
    EXPECT_TRUE(WIFEXITED(status_b) && WEXITSTATUS(status_b) == 0);
    Registry reg(db);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(reg.ReadReal("Software\\Both", "a" + std::to_string(i)), double(i));
        EXPECT_EQ(reg.ReadReal("Software\\Both", "b" + std::to_string(i)), double(i));
    }
}

TEST(RegistryStore, SurvivesAKillDuringWrites) {
    test::ScratchDir dir;
    const std::string db = dir / "registry.db";
    {
        Registry reg(db);
        ASSERT_TRUE(reg.WriteString("Software\\Kept", "Before", "safe"));
    }
    pid_t child = fork();
    if (child == 0) {
        Registry reg(db);
        for (int i = 0;; ++i)
            reg.WriteString("Software\\Busy", "V" + std::to_string(i % 50),
                            std::string(2000, char('a' + i % 26)));
    }
    // Let it write for a while, then kill it wherever it is.
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Registry probe(db);
        if (probe.ValueExists("Software\\Busy", "V49")) break;
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    Registry reg(db);
    EXPECT_EQ(reg.ReadString("Software\\Kept", "Before"), "safe");
    std::vector<RegistryEntry> list;
    ASSERT_TRUE(reg.List(list));
    int busy = 0;
    for (const RegistryEntry& e : list) {
        if (e.key != "Software\\Busy") continue;
        ++busy;
        // Every value is whole: one letter repeated 2000 times.
        ASSERT_EQ(e.text.size(), 2000u);
        EXPECT_EQ(e.text, std::string(2000, e.text[0]));
    }
    EXPECT_EQ(busy, 50);
    EXPECT_TRUE(reg.WriteString("Software\\Kept", "After", "fine"));
}

}  // namespace
}  // namespace tb
