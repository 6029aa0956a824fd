// Hostile games, signals and kills: the runner is run as a program under a time and memory
// bound, and nothing it is given may hang it, exhaust it, crash it or lose a save.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "collision_fixtures.h"
#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/script.h"
#include "runner/temp_dir.h"
#include "script_harness.h"
#include "system/file_bytes.h"
#include "world/instance.h"

#if defined(__SANITIZE_ADDRESS__)
#define TB_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TB_UNDER_ASAN 1
#endif
#endif

namespace tb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// --- a child process of the runner, watched from here

struct Bounds {
    std::chrono::milliseconds time = 120s;  // sanitised builds are slow; hangs are for ever
    size_t rss_mb = 3000;                   // resident memory, checked while it runs
    size_t address_space_mb = 0;            // a hard RLIMIT_AS (ulimit -v) when not 0
};

class Child {
  public:
    // Starts the runner with `args` in `cwd`, its temporary directories under `tmp`.
    Child(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& tmp,
          const Bounds& bounds = {})
        : bounds_(bounds), capture_(cwd / ".capture") {
        fs::create_directories(capture_);
        const fs::path out = capture_ / "out", err = capture_ / "err";
        pid_ = fork();
        if (pid_ == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int in = open("/dev/null", O_RDONLY);
            dup2(o, 1);
            dup2(e, 2);
            dup2(in, 0);
            if (chdir(cwd.c_str()) != 0) _exit(126);
            setenv("TMPDIR", tmp.c_str(), 1);
            setenv("tmp", tmp.c_str(), 1);
            unsetenv("temp");
            if (bounds.address_space_mb) {
                const rlim_t limit = rlim_t(bounds.address_space_mb) << 20;
                const rlimit r{limit, limit};
                setrlimit(RLIMIT_AS, &r);
            }
            std::vector<std::string> all{TAMBERLO_BINARY};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(TAMBERLO_BINARY, argv.data());
            _exit(127);
        }
        start_ = std::chrono::steady_clock::now();
    }
    ~Child() {
        if (!done_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
    }

    // Waits for the end, killing the child when a bound is passed. True when it ended.
    bool Wait() {
        while (!done_) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                done_ = true;
                break;
            }
            if (std::chrono::steady_clock::now() - start_ > bounds_.time) {
                timed_out = true;
            } else if (ResidentMb() > bounds_.rss_mb) {
                over_memory = true;
            }
            if (timed_out || over_memory) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status_, 0);
                done_ = true;
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }
    void Signal(int sig) { kill(pid_, sig); }
    // Polls until standard output holds `text`; false after `limit`.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit = 60s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (Out().find(text) != std::string::npos) return true;
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                done_ = true;
                return Out().find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    pid_t Pid() const { return pid_; }
    std::string Out() const { return test::ReadText(capture_ / "out"); }
    std::string Err() const { return test::ReadText(capture_ / "err"); }
    bool Exited() const { return done_ && WIFEXITED(status_); }
    int ExitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    int TermSignal() const { return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

    bool timed_out = false;
    bool over_memory = false;

  private:
    size_t ResidentMb() const {
        std::ifstream statm("/proc/" + std::to_string(pid_) + "/statm");
        size_t pages = 0, resident = 0;
        statm >> pages >> resident;
        return resident * size_t(sysconf(_SC_PAGESIZE)) >> 20;
    }

    Bounds bounds_;
    fs::path capture_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool done_ = false;
    std::chrono::steady_clock::time_point start_;
};

std::vector<std::string> TempDirsIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("pw_ttt_"))
            names.push_back(e.path().filename().string());
    return names;
}

// --- games

// Object 0 "controller" (one instance in the room) runs `create` and `step`; object 1 "blob"
// has a precise 8 x 8 sprite with a hole; script 0 "rec" calls itself for ever.
Game HostileGame(const std::string& create, const std::string& step = "",
                 const std::string& game_end = "") {
    Game g = test::MinimalGame();
    test::AddCodeObject(g, "controller", 0, 0, create);
    CObject* controller = g.objects.Get(0);
    if (!step.empty()) controller->GetOrCreateEvent(3, 0)->AddCodeAction(step);
    if (!game_end.empty()) controller->GetOrCreateEvent(7, 3)->AddCodeAction(game_end);
    const int sprite =
        test::AddArtSprite(g, {{test::Art({"########", "########", "###..###", "##....##",
                                           "##....##", "###..###", "########", "########"})}});
    auto blob = std::make_unique<CObject>();
    blob->SpriteIndex = sprite;
    blob->Solid = true;
    g.objects.Add(std::move(blob), "blob");
    auto rec = std::make_unique<CScript>();
    rec->SetScriptText("return rec(argument0 + 1);");
    g.scripts.Add(std::move(rec), "rec");
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    inst->object_index = 0;
    g.rooms.Get(0)->instances.push_back(std::move(inst));
    g.last_instance_id = 100001;
    return g;
}

std::string Chain(const std::string& first, const std::string& term, int terms) {
    std::string s = first;
    for (int i = 1; i < terms; ++i) s += "+" + term;
    return s;
}

struct HostileCase {
    const char* name;
    std::string create;
    int exit_code;
    std::string out_has;  // "" for nothing to look for
    std::string err_has;
    size_t rss_mb = 3000;
};

// Each case runs three steps headless within two minutes and its memory bound, and ends as
// said; none may crash or be killed.
TEST(Hardening, HostileGamesEndWithinTheirBounds) {
    const std::string deep = std::string(3000, '(') + "1" + std::string(3000, ')');
    const std::vector<HostileCase> cases = {
        {"precise masks at absurd scales",
         "a = instance_create(10, 10, blob); b = instance_create(12, 14, blob);"
         "with (blob) { image_yscale = power(10, 300); image_angle = power(10, 300); }"
         "with (a) { show_debug_message(string(place_meeting(x, y, other.b)));"
         "  show_debug_message(string(place_free(x + 1, y)));"
         "  move_contact_all(0, 5); move_bounce_all(true); }"
         "show_debug_message(string(collision_rectangle(-1000000000, -1000000000, 1000000000, "
         "1000000000, blob, true, false)));"
         "show_debug_message(string(collision_ellipse(-1000000000, -1000000000, 1000000000, "
         "1000000000, blob, true, false)));"
         "show_debug_message(string(collision_line(-1000000000, -1000000000, 1000000000, "
         "1000000000, blob, true, false)));"
         "show_debug_message(string(collision_point(50, 50, blob, true, false)));"
         "show_debug_message(\"scanned\");",
         0, "scanned", ""},
        {"game_load of a FIFO", "game_load(\"pipe\");", 0, "",
         "Failed to load game from file pipe"},
        {"a two-dimensional array of 32000 x 32000",
         "for (i = 0; i < 32000; i += 1) a[i, 31999] = i;", 0, "", "Out of memory.", 1500},
        {"a ds grid of ten billion cells",
         "g = ds_grid_create(100000, 100000); h = ds_grid_create(2, 2);"
         "ds_grid_resize(h, 100000, 100000);"
         "show_debug_message(string(ds_grid_width(g)) + \" \" + string(ds_grid_width(h)));",
         0, "0 2", ""},
        {"a gigabyte of text in dead code",
         "if (0) { s = 1000000000 * \"x\"; } show_debug_message(\"compiled\");", 0, "compiled", "",
         800},
        {"a sum of a thousand constant terms",
         "show_debug_message(string(" + Chain("0", "1", 1000) + "));", 0, "999", ""},
        {"a sum of a hundred thousand texts",
         "s = \"a\"; show_debug_message(string(string_length(" + Chain("s", "s", 100000) + ")));",
         0, "100000", ""},
        {"deep nesting", "x = " + deep + ";", 1, "", "Code nested too deeply."},
        {"deep recursion", "rec(0);", 0, "", "Script calls nested too deeply."},
        {"infinite and NaN motion",
         "inf = power(10, 308) * 10; nan = inf - inf;"
         "a = instance_create(0, 0, blob); a.hspeed = inf; a.vspeed = -inf; a.gravity = inf;"
         "a.friction = nan; a.direction = power(10, 300); a.image_xscale = nan;"
         "b = instance_create(0, 0, blob); b.x = inf; b.y = nan; b.speed = nan;",
         0, "", ""},
        {"huge strings", "s = string_repeat(\"ab\", 1000000000);", 0, "", "Out of memory."},
        {"odd save paths",
         "game_save(\"\"); game_save(\"no/such/folder/x.sav\"); game_save(\".\");"
         "game_load(\".\"); game_load(\"\"); show_debug_message(\"survived\");",
         0, "survived", "Failed to save game to file no/such/folder/x.sav"},
    };
    test::ScratchDir dir;
    mkfifo((dir.path / "pipe").c_str(), 0600);
    const char* only = std::getenv("TB_CASE");  // a part of a case name: only those cases run
    for (const HostileCase& c : cases) {
        if (only && std::string(c.name).find(only) == std::string::npos) continue;
        SCOPED_TRACE(c.name);
        test::WriteBytes(dir.path / "game.bin", pack::WriteGameFile(HostileGame(c.create)));
        Bounds bounds;
        bounds.rss_mb = c.rss_mb;
        Child run({"--headless", "--steps", "3", "game.bin"}, dir.path, dir.path, bounds);
        EXPECT_TRUE(run.Wait()) << (run.timed_out ? "timed out" : "memory bound passed");
        EXPECT_TRUE(run.Exited()) << "signal " << run.TermSignal() << "\n" << run.Err();
        EXPECT_EQ(run.ExitCode(), c.exit_code) << run.Err();
        EXPECT_NE(run.Out().find(c.out_has), std::string::npos) << run.Out() << run.Err();
        EXPECT_NE(run.Err().find(c.err_has), std::string::npos) << run.Err();
        EXPECT_EQ(run.Err().find("AddressSanitizer"), std::string::npos) << run.Err();
        EXPECT_EQ(run.Err().find("runtime error"), std::string::npos) << run.Err();
    }
    EXPECT_TRUE(TempDirsIn(dir.path).empty());
}

// `s += s` stops at the bound of every text that grows (tested in the process: a runner child
// holding a gigabyte spends long in the sanitisers' exit scan).
TEST(Hardening, JoiningTextStopsAtTheTextBound) {
    test::ScriptWorld w;
    // 512 MiB and one byte: joined to itself it would pass the gigabyte.
    test::RunResult r = w.Run("s = \"x\"; repeat (29) s += s; s += \"y\"; s += s");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "Out of memory.");
}

// Under `ulimit -v 4G` the hostile allocations end in script errors, never in a dead
// runner: the first instance's texts stay alive, so the third one meets the limit itself.
// AddressSanitizer reserves terabytes of address space, so sanitised builds skip.
TEST(Hardening, RunUnderFourGigabytesOfAddressSpace) {
#ifdef TB_UNDER_ASAN
    GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
#endif
    test::ScratchDir dir;
    const std::string code =
        "s = \"x\"; repeat (29) s += s; s += \"y\"; s += s;"
        "for (i = 0; i < 32000; i += 1) a[i, 31999] = i;"
        "g = ds_grid_create(100000, 100000);"
        "if (0) { t = 1000000000 * \"x\"; }"
        "s = string_repeat(\"ab\", 1000000000);"
        "show_debug_message(\"alive\");";
    Game g = HostileGame(code, "show_debug_message(\"step\");");
    for (int id : {100002, 100003}) {
        auto inst = std::make_unique<CInstance>();
        inst->id = id;
        inst->object_index = 0;
        g.rooms.Get(0)->instances.push_back(std::move(inst));
    }
    g.last_instance_id = 100003;
    test::WriteBytes(dir.path / "game.bin", pack::WriteGameFile(g));
    Bounds bounds;
    bounds.address_space_mb = 4096;
    bounds.rss_mb = 4096;
    Child run({"--headless", "--steps", "3", "game.bin"}, dir.path, dir.path, bounds);
    ASSERT_TRUE(run.Wait());
    EXPECT_TRUE(run.Exited()) << "signal " << run.TermSignal() << "\n" << run.Err();
    EXPECT_EQ(run.ExitCode(), 0) << run.Err();
    EXPECT_NE(run.Out().find("step"), std::string::npos) << run.Out();
}

// SIGTERM ends a headless run at a step boundary: no further event runs (the game end event
// would print), the run ends by the signal, the temporary directory and its files are gone.
// A run stuck inside a step ends at the second signal, also without its directory.
TEST(Hardening, TermSignalEndsTheRunCleanly) {
    test::ScratchDir dir;
    Game g = HostileGame("n = 0;", "n += 1; show_debug_message(\"step \" + string(n));",
                         "show_debug_message(\"game end\");");
    CDataFile data;
    data.FileName = "data.txt";
    data.DataLoaded = data.DataStored = true;
    data.data = {'h', 'i'};
    data.ExportKind = 1;  // into the temporary directory
    g.included_files.push_back(data);
    test::WriteBytes(dir.path / "game.bin", pack::WriteGameFile(g));
    {
        Child run({"--headless", "game.bin"}, dir.path, dir.path);
        ASSERT_TRUE(run.WaitForOutput("step 3"));
        ASSERT_EQ(TempDirsIn(dir.path).size(), 1u);
        run.Signal(SIGTERM);
        ASSERT_TRUE(run.Wait()) << "SIGTERM did not end the run";
        EXPECT_EQ(run.TermSignal(), SIGTERM);
        EXPECT_EQ(run.Out().find("game end"), std::string::npos) << run.Out();
        EXPECT_EQ(run.Err(), "");
        EXPECT_TRUE(TempDirsIn(dir.path).empty());
    }

    test::WriteBytes(dir.path / "stuck.bin",
                     pack::WriteGameFile(HostileGame("show_debug_message(\"looping\"); "
                                                     "while (true) {}")));
    Child stuck({"--headless", "stuck.bin"}, dir.path, dir.path);
    ASSERT_TRUE(stuck.WaitForOutput("looping"));
    stuck.Signal(SIGINT);
    std::this_thread::sleep_for(200ms);
    stuck.Signal(SIGINT);
    ASSERT_TRUE(stuck.Wait()) << "a second SIGINT did not end the run";
    EXPECT_EQ(stuck.TermSignal(), SIGINT);
    EXPECT_TRUE(TempDirsIn(dir.path).empty());
}

// Directories of dead runs are removed at the next start; those of live runs (locked) and
// those no run of ours marked are left alone.
TEST(Hardening, LeftoverTempDirectoriesOfDeadRunsAreRemoved) {
    test::ScratchDir dir;
    auto env = [&](const char* name) -> std::optional<std::string> {
        if (std::string(name) == "tmp") return dir.str();
        return std::nullopt;
    };
    auto random = [](int n) { return int(std::random_device()() % unsigned(n)); };
    std::string live_path;
    {
        auto live = std::make_unique<TempDirectory>(
            random, [](std::string_view) {}, env);
        live_path = live->Path();
        ASSERT_TRUE(live->Created());
        // A dead run's directory: marked as a run's, with content, locked by nobody.
        fs::create_directories(dir.path / "pw_ttt_1" / "sub");
        test::WriteText(dir.path / "pw_ttt_1" / "sub" / "f", "x");
        chmod((dir.path / "pw_ttt_1").c_str(), 01700);
        fs::create_directory(dir.path / "pw_ttt_2");  // not marked: not ours to judge
        TempDirectory next(
            random, [](std::string_view) {}, env);
        EXPECT_FALSE(fs::exists(dir.path / "pw_ttt_1"));
        EXPECT_TRUE(fs::exists(dir.path / "pw_ttt_2"));
        EXPECT_TRUE(fs::exists(live_path));  // its run still holds it
    }
    EXPECT_FALSE(fs::exists(live_path));
}

// A run killed while it saves leaves a part file; the next save of the same name removes it
// (and any other part of a dead process) and the save itself is whole.
TEST(Hardening, KillDuringSaveLeavesNoPartAfterTheNextSave) {
    test::ScratchDir dir;
    // About 3 MB per save, written every step.
    const std::string create = "for (i = 0; i < 200000; i += 1) big[i mod 32000, i div 32000] = i;";
    test::WriteBytes(dir.path / "game.bin",
                     pack::WriteGameFile(HostileGame(create, "game_save(\"save.dat\");")));
    auto parts = [&] {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(dir.path))
            if (e.path().filename().string().starts_with("save.dat.part"))
                found.push_back(e.path().filename().string());
        return found;
    };
    bool caught = false;
    for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
        Child run({"--headless", "game.bin"}, dir.path, dir.path);
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!caught && std::chrono::steady_clock::now() < until) {
            caught = !parts().empty();
            if (caught) run.Signal(SIGKILL);
        }
        run.Signal(SIGKILL);
        run.Wait();
    }
    // The part of a process that is gone, whatever the kill caught.
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    test::WriteText(dir.path / ("save.dat.part" + std::to_string(gone) + "_0"), "stale");
    test::WriteText(dir.path / "other.dat.part1_0", "not this save's");

    Child next({"--headless", "--steps", "1", "game.bin"}, dir.path, dir.path);
    ASSERT_TRUE(next.Wait());
    EXPECT_EQ(next.ExitCode(), 0) << next.Err();
    EXPECT_TRUE(parts().empty());
    EXPECT_TRUE(fs::exists(dir.path / "other.dat.part1_0"));
    EXPECT_TRUE(TempDirsIn(dir.path).empty());  // the killed runs' ones went at the next start
    std::vector<uint8_t> save;
    ASSERT_TRUE(ReadFileBytes(dir / "save.dat", save));
    EXPECT_GT(save.size(), 1000000u);
}

// --frames with a folder that cannot be made or written is refused before the run.
TEST(Hardening, FramesFolderThatCannotBeWrittenIsRefused) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "game.bin", pack::WriteGameFile(test::MinimalGame()));
    test::WriteText(dir.path / "file", "x");
    for (const std::string& frames :
         {(dir.path / "file").string(), (dir.path / "file" / "sub").string()}) {
        test::ProcessResult r = test::RunTamberlo(
            {"--headless", "--steps", "1", "--frames", frames, "game.bin"}, dir.path);
        EXPECT_EQ(r.exit_code, 2) << frames;
        EXPECT_NE(r.err.find("tamberlo: cannot write frames to " + frames), std::string::npos)
            << r.err;
    }
}

}  // namespace
}  // namespace tb
