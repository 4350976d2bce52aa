#include "platform/Shell.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {
// Splits a parameter text into arguments: blanks separate them except inside double quotes,
// and the quotes themselves are dropped ("\"/tmp/a b.csv\"" is one argument).
std::vector<std::string> splitParameters(const std::string& parameters) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    bool have = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if (!quoted && static_cast<unsigned char>(c) < 33) {
            if (have) out.push_back(current);
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have) out.push_back(current);
    return out;
}

bool isShellScript(const std::string& file) {
    return file.size() > 3 && file.compare(file.size() - 3, 3, ".sh") == 0;
}

// Launches xdg-open detached; the desktop program it starts outlives us. A shell script
// (".sh") is run by /bin/sh with the parameters as its arguments, as a script is run on
// "open" elsewhere; it is expected to start its program in the background and return.
class XdgShell : public Shell {
public:
    int open(const std::string& file, const std::string& parameters, const std::string& workingDir) override {
        std::vector<std::string> args{"xdg-open", file};
        if (isShellScript(file)) {
            args = {"/bin/sh", file};
            for (std::string& a : splitParameters(parameters)) args.push_back(std::move(a));
        } else if (!parameters.empty()) {
            args.push_back(parameters);
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
        // The program it starts gets only the standard handles: an inherited pipe or socket of
        // ours would keep the other end waiting for as long as that program runs.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
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
