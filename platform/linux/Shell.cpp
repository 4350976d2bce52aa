#include "platform/Shell.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {
// Launches xdg-open detached; the desktop program it starts outlives us.
class XdgShell : public Shell {
public:
    int open(const std::string& file, const std::string& parameters, const std::string& workingDir) override {
        std::vector<std::string> args{"xdg-open", file};
        if (!parameters.empty()) args.push_back(parameters);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) return rc;
        int status = 0;
        // xdg-open hands the document to the desktop and returns quickly.
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
        return ENOENT;
    }
};

XdgShell xdgShell;
Shell* current = &xdgShell;
}  // namespace

Shell& shell() { return *current; }
void setShell(Shell* replacement) { current = replacement ? replacement : &xdgShell; }

}  // namespace platform
