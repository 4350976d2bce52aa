// A child process whose standard handles are pipes to us.
#pragma once
#include <string>
#include <vector>

namespace platform {

// Starts a program directly (no shell in between) with its standard input, output and error on
// pipes. Reads never block; the child is reaped by the state queries, by terminate, or, when
// the object goes while the child still runs, in the background, so no zombie is left behind.
// Every descriptor of ours is closed in the child; it gets only its three standard handles.
class Process {
public:
    enum class Stream { output, error };
    // What start reports; the error code (errno) says why.
    enum class StartResult { ok, outputPipeFailed, inputPipeFailed, errorPipeFailed, spawnFailed };

    struct StartInfo {
        // A path, or a bare name searched in the PATH of the child's environment. A relative
        // path is taken relative to our current directory, not to the working directory.
        std::string program;
        // argv[1..]; argv[0] is the program as given.
        std::vector<std::string> arguments;
        // Empty: our current directory.
        std::string workingDirectory;
        // "NAME=value" entries of the child's whole environment; nullptr: a copy of ours.
        const std::vector<std::string>* environment = nullptr;
        // false: the child shares our standard handles and no pipes are made.
        bool redirect = true;
    };

    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts the child. A program that cannot be executed (missing, not executable, bad working
    // directory) is reported here as spawnFailed. Fails when a child of this object still runs.
    StartResult start(const StartInfo& info, int* errorCode = nullptr);

    // Bytes waiting in a pipe; 0 when the pipe is closed or absent; -1 on failure (errno set).
    long bytesAvailable(Stream stream) const;
    // Reads up to max bytes that are there now. Returns the count, 0 when nothing is waiting,
    // -1 on failure (errno set). At end of data the pipe is closed, and later reads return 0.
    long read(Stream stream, char* buffer, std::size_t max);
    // True once the child's end of the pipe has been closed and everything was read.
    bool atEnd(Stream stream) const;

    // Writes what fits into the child's input pipe now; returns the count written (maybe 0),
    // -1 on failure (EPIPE when the child closed its input). Never raises SIGPIPE.
    long write(const char* data, std::size_t size);
    // Waits at most timeoutMs until the input pipe takes more bytes; false on time-out.
    bool waitWritable(int timeoutMs) const;
    // Closes the child's input, so it sees the end of its input.
    void closeInput();

    // True while the child runs; asks the system without blocking and reaps an ended child.
    bool isRunning();
    bool hasStarted() const { return pid_ > 0 || ended_; }
    // Exit code of the ended child: its status, 128 + signal number when a signal ended it, -1
    // when it is unknown (not started, still running, or reaped elsewhere).
    int exitCode() const { return exitCode_; }
    // Ends the child: SIGKILL, then waits at most waitMs for it to go. True when no child runs
    // any more or the signal was delivered.
    bool terminate(int waitMs = 2000);
    int pid() const { return pid_; }

    // Closes the pipes; a child still running is left running and reaped in the background.
    void release();

private:
    void closePipes();
    // Interprets a status returned by waitpid.
    void setEnded(int status);

    int pid_ = 0;
    bool ended_ = false;
    int exitCode_ = -1;
    int input_ = -1;   // our end of the child's standard input
    int output_ = -1;  // our end of its standard output
    int error_ = -1;   // our end of its standard error
};

// Our own environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

}  // namespace platform
