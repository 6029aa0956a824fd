#include "system/programs.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "system/paths.h"

extern char** environ;

namespace tb {

namespace {

bool Spawn(const std::string& program, const std::vector<std::string>& args, pid_t& pid) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Nothing of the runner's own is handed on: only the standard streams.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

bool IsAddress(std::string_view file) {
    return file.find("://") != file.npos || file.rfind("mailto:", 0) == 0;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) out.push_back(std::move(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) out.push_back(std::move(current));
    return out;
}

void StartedPrograms::Reap() {
    running.erase(std::remove_if(running.begin(), running.end(),
                                 [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; }),
                  running.end());
}

bool StartProgram(std::string_view program, std::string_view arguments, bool wait,
                  const std::function<void()>& pump, StartedPrograms& started) {
    started.Reap();
    std::string name(program);
    // A name with a folder part is a game path; a plain one is looked up on PATH.
    if (name.find_first_of("\\/") != name.npos) name = HostPath(name);
    if (name.empty()) return false;
    pid_t pid;
    if (!Spawn(name, SplitArguments(arguments), pid)) return false;
    if (!wait) {
        started.running.push_back(pid);
        return true;
    }
    for (;;) {
        pid_t done = waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (pump) pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool OpenWithShell(std::string_view file, std::string_view arguments, StartedPrograms& started) {
    started.Reap();
    if (file.empty()) return false;
    std::string target(file);
    if (!IsAddress(file)) {
        target = HostPath(file);
        struct stat st;
        if (::stat(target.c_str(), &st) != 0) return false;
        if (S_ISREG(st.st_mode) && ::access(target.c_str(), X_OK) == 0) {
            if (target.find('/') == target.npos) target = "./" + target;
            return StartProgram(target, arguments, false, {}, started);
        }
    }
    pid_t pid;
    if (!Spawn("xdg-open", {target}, pid)) return false;
    started.running.push_back(pid);
    return true;
}

}  // namespace tb
