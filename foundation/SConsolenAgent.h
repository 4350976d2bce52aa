// Runs a console program as a child process and collects its output line by line while the user
// interface keeps running.
#pragma once

#include <string>
#include <vector>

#include "foundation/SLists.h"
#include "foundation/STimer.h"
#include "platform/Process.h"

// The child's standard output and error are read every 200 ms by a timer of the event loop;
// derived classes hear of new output through onOutput and of the child's end through
// onFinished. Owners may also add lines of their own (addOutput) and use the agent as an
// output console without ever starting a program.
class SConsolenAgent : public STimerEvent {
public:
    S_CLASSNAME(SConsolenAgent)

    enum State { stateNotStarted = 0, stateStarted = 1, stateRunning = 2, stateEnded = 3 };
    // The exit code of a child that still runs.
    static constexpr int stillActive = 259;
    static constexpr int timerPeriodMs = 200;
    // Bytes taken from the pipe per read call.
    static constexpr int readPieceSize = 1000;

    SConsolenAgent();
    ~SConsolenAgent() override;

    // One poll: reads the output, tells onOutput about it and onFinished about the end.
    void onTimer(int id) override;
    // Starts the program with the arguments (split into words as a shell splits them, with
    // double quotes, but no shell runs) in the working directory (empty: the application's
    // directory). False when it cannot be started; errorText then holds the system's message.
    virtual bool start(const SString& program, const SString& arguments, const SString& workingDirectory);
    // The child's exit code; stillActive while it runs, -1 when it cannot be read.
    virtual int getExitCode();
    // Asks the system: stateRunning while the child runs, else stateEnded; stateNotStarted
    // before a successful start.
    virtual int getState();
    // Reads pending output and then discards everything collected.
    virtual void readAll();
    // Reads pending output, then hands out the first collected line without line-end
    // characters (line mode) or the whole collected text (otherwise). False when there is none.
    virtual bool getLine(SString& line);
    // Environment settings for the next start: lines "NAME=value" (separated by "\r\n"); a value
    // beginning with "+" is appended to the variable's current value.
    virtual void setEnvironment(const SString& settings);
    // Kills the child; true when there is no child any more.
    virtual bool terminate();
    // Writes the text to the child's standard input; true when all bytes were written.
    virtual bool write(const SString& text);
    virtual bool isFinished();
    // Hooks for derived classes: the child has ended / new output is there.
    virtual void onFinished() {}
    virtual void onOutput() {}

    // Starts the program and dispatches events until it has ended; the output it wrote is all
    // collected (and onFinished called) when this returns. Returns the result of start.
    bool runAndWait(const SString& program, const SString& arguments, const SString& workingDirectory);
    // Adds the owner's own text to the output lines (one line per "\r\n"-separated piece) and
    // calls onOutput.
    void addOutput(const SString& text);
    // Closes the child's standard input, so it sees the end of its input.
    void closeInput();

    bool getNoRedirect() const { return noRedirect_; }
    void setNoRedirect(bool on) { noRedirect_ = on; }
    // Title and visibility of a console window: kept for the owner, no console window exists
    // for a child here.
    const SString& getConsoleName() const { return consoleName_; }
    void setConsoleName(const SString& name) { consoleName_ = name; }
    bool getShowWindow() const { return showWindow_; }
    void setShowWindow(bool on) { showWindow_ = on; }
    bool getLineMode() const { return lineMode_; }
    void setLineMode(bool on) { lineMode_ = on; }
    const SString& getLineSeparator() const { return lineSeparator_; }
    void setLineSeparator(const SString& separator) { lineSeparator_ = separator; }
    const SString& getErrorText() const { return errorText_; }
    const SString& getEnvironment() const { return environment_; }
    const SString& getOutputText() const { return outputText_; }
    // The collected lines getLine has not handed out yet.
    const SStringList& getOutputLines();
    bool isBusy() const { return busy_; }
    int getProcessId() const { return process_.pid(); }

    // Splits argument text into words: blanks and control characters separate words outside
    // double quotes; the quotes themselves are removed wherever they stand, so "" is an empty
    // word and -U flash:w:"a b.hex":i one word; \" gives a quote and \\ a backslash.
    static SStringList splitArguments(const SString& text);
    // The environment a child gets: base ("NAME=value" entries) with the settings applied.
    static std::vector<std::string> buildEnvironment(const SString& settings, std::vector<std::string> base);

private:
    void tick();
    void readFromStream();
    // Reads one pipe into its pending text; in line mode moves complete lines to the lines.
    void readPipe(platform::Process::Stream stream, SString& pending);
    void takeLines(SString& pending, bool atEnd);
    void stopPolling();
    bool hasLines() const { return firstLine_ < outputLines_.getSize(); }
    void dropTakenLines();

    bool noRedirect_ = false;
    SString consoleName_;
    bool showWindow_ = false;
    bool lineMode_ = true;
    SString lineSeparator_;
    SString errorText_;
    SString environment_;
    int state_ = stateNotStarted;
    // Bytes read but not yet split into lines; standard error keeps its unfinished line apart,
    // so the two streams never mix within one line.
    SString outputText_;
    SString errorOutputText_;
    SStringList outputLines_;
    // Lines before this index have been handed out; they are dropped in batches, so taking
    // lines one by one from a long list does not move the rest every time.
    int firstLine_ = 0;
    platform::Process process_;
    bool busy_ = false;
    int timerId_ = 0;
};
