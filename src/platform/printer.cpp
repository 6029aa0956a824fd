#include "platform/printer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tb {

std::vector<std::string> PrintCommand(const std::string& title, int margin_units) {
    // The spooler takes margins in points (72 to the inch).
    const std::string points = std::to_string((margin_units * 72 + 300) / 600);
    std::vector<std::string> args = {"lp", "-t", title};
    for (const char* side : {"page-left", "page-right", "page-top", "page-bottom"}) {
        args.push_back("-o");
        args.push_back(std::string(side) + "=" + points);
    }
    args.push_back("-");  // the text comes on standard input
    return args;
}

bool PrintText(const std::string& title, const std::string& text, int margin_units,
               std::string& error) {
    std::vector<std::string> args = PrintCommand(title, margin_units);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) {
        error = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "lp", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        error = spawned == ENOENT ? "no print spooler (lp) was found" : std::strerror(spawned);
        return false;
    }
    // A spooler that stops reading must not end the runner with SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fds[1], text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    close(fds[1]);
    sigaction(SIGPIPE, &previous, nullptr);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the print spooler refused the job";
        return false;
    }
    if (done < text.size()) {
        error = "the print spooler did not take the whole text";
        return false;
    }
    return true;
}

}  // namespace tb
