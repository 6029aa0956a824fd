#include "harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>

#include "runner/game_file.h"

namespace tb::test {

namespace fs = std::filesystem;

Game MinimalGame() {
    Game g;
    ResetSettings(g.settings);
    g.game_id = 424242;
    for (size_t i = 0; i < g.guid.size(); ++i) g.guid[i] = uint8_t(0xA0 + i);
    g.rooms.Add(std::make_unique<CRoom>(), "room0");
    g.room_order = {0};
    return g;
}

void AddCodeObject(Game& game, const std::string& name, int kind, int number,
                   const std::string& code) {
    auto obj = std::make_unique<CObject>();
    obj->GetOrCreateEvent(kind, number)->AddCodeAction(code);
    game.objects.Add(std::move(obj), name);
}

LoadOutcome LoadBytes(std::vector<uint8_t> bytes) {
    LoadOutcome r;
    TempDirectory temp([](int n) { return int(std::random_device()() % unsigned(n)); },
                       [](std::string_view) {});
    LoadContext ctx;
    ctx.temp_dir = temp.Path();
    ctx.message = [&](std::string_view m) { r.messages.emplace_back(m); };
    ctx.progress = [&](int p, std::string_view c) { r.progress.emplace_back(p, std::string(c)); };
    r.failure = LoadGameFile(std::move(bytes), r.game, ctx);
    return r;
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    path = fs::temp_directory_path() /
           ("tamberlo_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

static std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& cwd) {
    ScratchDir capture;
    fs::path out = capture.path / "out", err = capture.path / "err";
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(o, 1);
        dup2(e, 2);
        dup2(in, 0);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProcessResult r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

}  // namespace tb::test
