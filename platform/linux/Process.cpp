#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/Paths.h"

extern char** environ;

namespace platform {

namespace {

void closeFd(int& fd) {
    // Linux releases the descriptor even when close is interrupted: never retry.
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Moves a descriptor above the standard handles, so that putting it onto 0, 1 or 2 in the
// child is a real dup2 (which clears close-on-exec) and does not hit another pipe end.
bool moveAboveStandard(int& fd) {
    if (fd > 2) return true;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0) return false;
    ::close(fd);
    fd = moved;
    return true;
}

// A pipe whose both ends are closed in children; the end that stays with us does not block.
// childReads says which end the child gets.
bool makePipe(int& ours, int& childs, bool childReads) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    int readEnd = fds[0], writeEnd = fds[1];
    if (!moveAboveStandard(readEnd) || !moveAboveStandard(writeEnd)) {
        int saved = errno;
        closeFd(readEnd);
        closeFd(writeEnd);
        errno = saved;
        return false;
    }
    ours = childReads ? writeEnd : readEnd;
    childs = childReads ? readEnd : writeEnd;
    ::fcntl(ours, F_SETFL, ::fcntl(ours, F_GETFL) | O_NONBLOCK);
    return true;
}

bool isExecutableFile(const std::string& path, int* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0) {
        *error = EACCES;
        return false;
    }
    return true;
}

// The file the child executes: a path as given (relative ones against our current directory,
// because the child changes its directory before it executes), a bare name searched in PATH as
// the child's environment has it. Empty with errorCode set when there is no such program.
std::string resolveProgram(const std::string& program, const std::vector<std::string>* environment,
                           int* errorCode) {
    if (program.empty()) {
        *errorCode = ENOENT;
        return {};
    }
    if (program.find('/') != std::string::npos) {
        if (program[0] == '/') return program;
        std::string cwd = currentDirectory();
        if (cwd.empty()) {
            *errorCode = errno;
            return {};
        }
        return cwd + "/" + program;
    }
    std::string path;
    bool found = false;
    if (environment) {
        for (const std::string& entry : *environment)
            if (entry.compare(0, 5, "PATH=") == 0) {
                path = entry.substr(5);
                found = true;
            }
    } else if (const char* p = std::getenv("PATH")) {
        path = p;
        found = true;
    }
    // The default search path of execvp when PATH is not set.
    if (!found) path = "/bin:/usr/bin";
    int error = ENOENT;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find(':', pos);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(pos, end - pos);
        pos = end + 1;
        // An empty entry would mean the current directory, which is not a place to run
        // programs from unasked.
        if (dir.empty()) continue;
        std::string candidate = dir + "/" + program;
        if (isExecutableFile(candidate, &error)) return candidate;
    }
    *errorCode = error;
    return {};
}

}  // namespace

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> entries;
    for (char** e = environ; e && *e; ++e) entries.emplace_back(*e);
    return entries;
}

Process::~Process() {
    release();
}

Process::StartResult Process::start(const StartInfo& info, int* errorCode) {
    int dummy = 0;
    if (!errorCode) errorCode = &dummy;
    *errorCode = 0;
    if (isRunning()) {
        *errorCode = EBUSY;
        return StartResult::spawnFailed;
    }
    closePipes();
    pid_ = 0;
    ended_ = false;
    exitCode_ = -1;

    int childOutput = -1, childInput = -1, childError = -1;
    auto fail = [&](StartResult result) {
        *errorCode = errno;
        closeFd(childOutput);
        closeFd(childInput);
        closeFd(childError);
        closePipes();
        return result;
    };
    if (info.redirect) {
        if (!makePipe(output_, childOutput, false)) return fail(StartResult::outputPipeFailed);
        if (!makePipe(input_, childInput, true)) return fail(StartResult::inputPipeFailed);
        if (!makePipe(error_, childError, false)) return fail(StartResult::errorPipeFailed);
    }

    std::string file = resolveProgram(info.program, info.environment, errorCode);
    if (file.empty()) {
        errno = *errorCode;
        return fail(StartResult::spawnFailed);
    }

    std::vector<std::string> args;
    args.push_back(info.program);
    args.insert(args.end(), info.arguments.begin(), info.arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy;
    std::vector<char*> envp;
    if (info.environment) {
        envCopy = *info.environment;
        for (std::string& e : envCopy) envp.push_back(e.data());
        envp.push_back(nullptr);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (info.redirect) {
        posix_spawn_file_actions_adddup2(&actions, childInput, 0);
        posix_spawn_file_actions_adddup2(&actions, childOutput, 1);
        posix_spawn_file_actions_adddup2(&actions, childError, 2);
    }
    // Whatever else is open here (also descriptors others opened without close-on-exec) stays
    // with us.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!info.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, info.workingDirectory.c_str());

    // The child starts with no blocked signals and with the default reaction to a broken pipe
    // and an oversized file, whatever we set up for ourselves.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // glibc's posix_spawn reports a failed chdir or exec of the child as its result.
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, file.c_str(), &actions, &attr, argv.data(),
                           info.environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        errno = rc;
        return fail(StartResult::spawnFailed);
    }
    pid_ = pid;
    // The child holds its ends now; ours must go, or we would never see the end of its output.
    closeFd(childOutput);
    closeFd(childInput);
    closeFd(childError);
    return StartResult::ok;
}

long Process::bytesAvailable(Stream stream) const {
    int fd = stream == Stream::output ? output_ : error_;
    if (fd < 0) return 0;
    int count = 0;
    int rc;
    while ((rc = ::ioctl(fd, FIONREAD, &count)) < 0 && errno == EINTR) {
    }
    return rc < 0 ? -1 : count;
}

long Process::read(Stream stream, char* buffer, std::size_t max) {
    int& fd = stream == Stream::output ? output_ : error_;
    if (fd < 0 || max == 0) return 0;
    while (true) {
        ssize_t n = ::read(fd, buffer, max);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) {
            // End of data: closing the pipe keeps later calls from polling a dead pipe.
            closeFd(fd);
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

bool Process::atEnd(Stream stream) const {
    return (stream == Stream::output ? output_ : error_) < 0;
}

long Process::write(const char* data, std::size_t size) {
    if (input_ < 0) {
        errno = EPIPE;
        return -1;
    }
    if (size == 0) return 0;
    // A child that closed its input would raise SIGPIPE, which ends a process by default. Block
    // it in this thread for the write and take away the signal this write caused.
    sigset_t pipeSet, oldMask, pending;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &oldMask);
    ssize_t n;
    while ((n = ::write(input_, data, size)) < 0 && errno == EINTR) {
    }
    int error = errno;
    if (n < 0 && error == EPIPE && !wasPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    if (n >= 0) return static_cast<long>(n);
    if (error == EAGAIN || error == EWOULDBLOCK) return 0;
    errno = error;
    return -1;
}

bool Process::waitWritable(int timeoutMs) const {
    if (input_ < 0) return false;
    const int64_t deadline = monotonicMs() + timeoutMs;
    while (true) {
        pollfd p{input_, POLLOUT, 0};
        int left = static_cast<int>(std::max<int64_t>(deadline - monotonicMs(), 0));
        int rc = ::poll(&p, 1, left);
        if (rc > 0) return true;
        if (rc == 0 || errno != EINTR) return false;
    }
}

void Process::closeInput() {
    closeFd(input_);
}

bool Process::isRunning() {
    if (pid_ <= 0 || ended_) return false;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r == 0) return true;
    if (r == pid_) {
        setEnded(status);
    } else {
        // Somebody else reaped it (for example with SIGCHLD ignored): its code is lost.
        ended_ = true;
        exitCode_ = -1;
    }
    return false;
}

bool Process::terminate(int waitMs) {
    if (!isRunning()) return true;
    if (::kill(pid_, SIGKILL) != 0 && errno != ESRCH) return false;
    // A killed process goes at once unless it hangs in the kernel; then a later state query
    // reaps it.
    const int64_t deadline = monotonicMs() + waitMs;
    while (isRunning() && monotonicMs() < deadline) sleepMs(1);
    return true;
}

void Process::setEnded(int status) {
    ended_ = true;
    if (WIFEXITED(status))
        exitCode_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exitCode_ = 128 + WTERMSIG(status);
    else
        exitCode_ = -1;
}

void Process::closePipes() {
    closeFd(input_);
    closeFd(output_);
    closeFd(error_);
}

void Process::release() {
    closePipes();
    if (isRunning()) {
        // Nobody will ask for this child any more; a waiting thread collects it when it ends.
        pid_t pid = pid_;
        std::thread([pid] {
            int status;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    pid_ = 0;
    ended_ = false;
    exitCode_ = -1;
}

}  // namespace platform
