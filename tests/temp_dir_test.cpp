#include "runner/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "harness.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

using Folder = test::ScratchDir;

// Hands out the given numbers in turn, then repeats the last one; records each bound.
struct Sequence {
    explicit Sequence(std::initializer_list<int> v) : values(v) {}
    std::deque<int> values;
    std::vector<int> bounds;
    TempDirectory::Random Fn() {
        return [this](int n) {
            bounds.push_back(n);
            int v = values.front();
            if (values.size() > 1) values.pop_front();
            return v;
        };
    }
};

TempDirectory::Environment Env(std::map<std::string, std::string> vars) {
    return [vars](const char* name) -> std::optional<std::string> {
        auto it = vars.find(name);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
}

TEST(TempDir, SkipsTakenNamesAndCleansUpEverything) {
    Folder base;
    fs::create_directory(base / "pw_ttt_5");
    std::ofstream(base / "pw_ttt_6");  // a file takes the name as well
    Sequence rnd({5, 6, 7});
    std::vector<std::string> failures;
    std::string path;
    {
        TempDirectory t(
            rnd.Fn(), [&](std::string_view m) { failures.emplace_back(m); },
            Env({{"temp", base.str()}, {"tmp", "/nowhere"}}));
        path = t.Path();
        EXPECT_EQ(path, base / "pw_ttt_7");
        EXPECT_EQ(t.Base(), base.str());
        EXPECT_TRUE(t.Created());
        EXPECT_TRUE(fs::is_directory(path));
        EXPECT_EQ(rnd.bounds, (std::vector<int>{100000, 100000, 100000}));
        fs::create_directories(path + "/a/b");
        std::ofstream(path + "/top.txt") << "x";
        std::ofstream(path + "/a/b/deep.txt") << "y";
    }
    EXPECT_TRUE(failures.empty());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_directory(base / "pw_ttt_5"));  // not ours
    EXPECT_TRUE(fs::exists(base / "pw_ttt_6"));
}

TEST(TempDir, BaseFromEnvironmentInOrder) {
    Folder f;
    for (const char* d : {"temp", "tmp", "tmpdir"}) fs::create_directory(f / d);
    struct Case {
        std::map<std::string, std::string> env;
        std::string base;
    } cases[] = {
        {{{"temp", f / "temp"}, {"tmp", f / "tmp"}, {"TMPDIR", f / "tmpdir"}}, f / "temp"},
        {{{"tmp", f / "tmp"}, {"TMPDIR", f / "tmpdir"}}, f / "tmp"},
        {{{"TMPDIR", f / "tmpdir"}}, f / "tmpdir"},
        {{{"temp", ""}, {"TMPDIR", f / "tmpdir"}}, f / "tmpdir"},  // empty counts as unset
        {{}, "/tmp"},
        // Missing parents are created.
        {{{"temp", f / "new/deeper"}}, f / "new/deeper"},
    };
    for (const Case& c : cases) {
        Sequence rnd({424242});
        TempDirectory t(rnd.Fn(), {}, Env(c.env));
        EXPECT_EQ(t.Base(), c.base);
        EXPECT_EQ(t.Path(), fs::path(c.base) / "pw_ttt_424242");
        EXPECT_TRUE(fs::is_directory(t.Path()));
    }
}

TEST(TempDir, FallsBackWhenTheBaseCannotHoldIt) {
    Folder f;
    std::ofstream(f / "file");  // a file cannot be a parent directory
    Sequence rnd({424243});
    std::vector<std::string> failures;
    TempDirectory t(
        rnd.Fn(), [&](std::string_view m) { failures.emplace_back(m); },
        Env({{"temp", f / "file/sub"}}));
    EXPECT_EQ(t.Path(), "/tmp/pw_ttt_424243");
    EXPECT_TRUE(t.Created());
    EXPECT_TRUE(failures.empty());
}

TEST(TempDir, TotalFailureIsReportedAndRemovesNothing) {
    Folder f;
    std::ofstream(f / "file");
    fs::create_directory(f / "cwd");
    fs::create_directory(f / "cwd/pw_ttt_99999");
    std::ofstream(f / "cwd/pw_ttt_99999/keep.txt") << "k";
    bool made_tmp = fs::create_directory("/tmp/pw_ttt_99999");
    fs::path old_cwd = fs::current_path();
    fs::current_path(f / "cwd");
    std::vector<std::string> failures;
    {
        // Every name drawn is taken in /tmp and the working directory: give up, don't hang.
        Sequence rnd({99999});
        TempDirectory t(
            rnd.Fn(), [&](std::string_view m) { failures.emplace_back(m); },
            Env({{"temp", f / "file/sub"}}));
        EXPECT_FALSE(t.Created());
        EXPECT_FALSE(t.Path().empty());
    }
    fs::current_path(old_cwd);
    if (made_tmp) fs::remove("/tmp/pw_ttt_99999");
    EXPECT_EQ(failures, (std::vector<std::string>{"Failed to create temp dir. This can cause "
                                                  "serious problems with sounds, etc."}));
    EXPECT_TRUE(fs::exists(f / "cwd/pw_ttt_99999/keep.txt"));
}

TEST(TempDir, CleanupDoesNotFollowLinks) {
    Folder f;
    fs::create_directory(f / "outside");
    std::ofstream(f / "outside/precious.txt") << "p";
    std::string path;
    {
        Sequence rnd({1});
        TempDirectory t(rnd.Fn(), {}, Env({{"temp", f / "base"}}));
        path = t.Path();
        fs::create_directory_symlink(f / "outside", path + "/dirlink");
        fs::create_symlink(f / "outside/precious.txt", path + "/filelink");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    EXPECT_TRUE(fs::exists(f / "outside/precious.txt"));
}

TEST(TempDir, TempFileNames) {
    Folder f;
    Sequence rnd({3, 8, 8, 9});
    TempDirectory t(rnd.Fn(), {}, Env({{"temp", f.str()}}));
    ASSERT_EQ(t.Path(), f / "pw_ttt_3");
    std::ofstream(t.Path() + "/a8.wav");
    EXPECT_EQ(t.TempFileName(".wav"), t.Path() + "/a9.wav");
    EXPECT_FALSE(fs::exists(t.Path() + "/a9.wav"));  // only a name
    EXPECT_EQ(t.TempFileName(".mid"), t.Path() + "/a9.mid");
    std::ofstream(t.Path() + "/a9.mid");
    EXPECT_EQ(t.TempFileName(".mid"), "");  // the source only gives taken names
}

}  // namespace
}  // namespace tb
