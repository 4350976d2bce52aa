#include "foundation/SConsolenAgent.h"

#include <cerrno>

#include "foundation/SApplicationBasic.h"
#include "foundation/SError.h"
#include "foundation/SEventLoop.h"
#include "platform/Clock.h"

namespace {
// A read call takes at most this much from one pipe, so a child that writes without pause
// cannot keep the user interface in the read loop.
constexpr long maxReadPerCall = 1 << 20;
// write gives up when the child takes no input for this long.
constexpr int writeStallLimitMs = 10000;
}  // namespace

SConsolenAgent::SConsolenAgent()
    : consoleName_(std::string("NUK-Console")), lineSeparator_(std::string("\n")) {}

SConsolenAgent::~SConsolenAgent() {
    stopPolling();
}

SStringList SConsolenAgent::splitArguments(const SString& text) {
    SStringList words;
    const std::string& s = text.str();
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
            word += s[++i];
            inWord = true;
        } else if (c == '"') {
            // A pair of quotes makes a word even when nothing stands between them.
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && static_cast<unsigned char>(c) <= 32) {
            if (inWord) words.add(SString(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.add(SString(word));
    return words;
}

std::vector<std::string> SConsolenAgent::buildEnvironment(const SString& settings,
                                                          std::vector<std::string> base) {
    SString text = settings;
    text.trim();
    if (text.isEmpty()) return base;
    // Lines end in "\r\n"; a bare "\n" ends a line as well.
    for (const SString& raw : SStringList::split(text, SString(std::string("\n")))) {
        std::string line = raw.str();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        std::string prefix = line.substr(0, eq + 1);
        std::string value = line.substr(eq + 1);
        auto it = base.begin();
        while (it != base.end() && it->compare(0, prefix.size(), prefix) != 0) ++it;
        if (!value.empty() && value[0] == '+') {
            // Appended directly, with nothing put between.
            value = (it != base.end() ? it->substr(prefix.size()) : std::string()) + value.substr(1);
        }
        if (it != base.end())
            *it = prefix + value;
        else
            base.push_back(prefix + value);
    }
    return base;
}

bool SConsolenAgent::start(const SString& program, const SString& arguments,
                           const SString& workingDirectory) {
    if (process_.isRunning()) {
        globalError().showMessage(
            "SConsolenAgent::start(..): Das zuvor gestartete Programm l\xE4uft noch; es kann kein weiteres "
            "gestartet werden.");
        return false;
    }
    stopPolling();
    state_ = stateNotStarted;
    errorText_.clear();

    platform::Process::StartInfo info;
    info.program = program.str();
    for (const SString& word : splitArguments(arguments)) info.arguments.push_back(word.str());
    info.workingDirectory = workingDirectory.isEmpty() ? globalApplicationBasic().getProgramDirectory().str()
                                                       : workingDirectory.str();
    info.redirect = !noRedirect_;
    // The child's environment is built apart: our own stays as it is, so repeated starts do not
    // append "+" values again and again, and no other thread sees the environment change.
    std::vector<std::string> environment;
    SString settings = environment_;
    if (!settings.trim().isEmpty()) {
        environment = buildEnvironment(settings, platform::currentEnvironment());
        info.environment = &environment;
    }

    int code = 0;
    switch (process_.start(info, &code)) {
        case platform::Process::StartResult::ok:
            break;
        case platform::Process::StartResult::outputPipeFailed:
            globalError().showMessage("Fehler beim Erzeugen einer Pipe (ChildStdout)in CConsolenAgent", code);
            return false;
        case platform::Process::StartResult::inputPipeFailed:
            globalError().showMessage("Fehler beim Erzeugen einer Pipe (ChildStdin) in CConsolenAgent", code);
            return false;
        case platform::Process::StartResult::errorPipeFailed:
            globalError().showMessage("Fehler beim Erzeugen einer Pipe (ChildStder) in CConsolenAgent", code);
            return false;
        case platform::Process::StartResult::spawnFailed:
            errorText_ = SError::systemErrorText(code);
            return false;
    }
    state_ = stateStarted;
    busy_ = false;
    timerId_ = startTimer(timerPeriodMs);
    return true;
}

bool SConsolenAgent::runAndWait(const SString& program, const SString& arguments,
                                const SString& workingDirectory) {
    if (!start(program, arguments, workingDirectory)) return false;
    // The event loop keeps running; so does our timer, which collects the output meanwhile.
    while (!isFinished()) SApplicationBasic::wait(10);
    // What the child wrote after the last tick is collected now, not up to 200 ms later, so
    // the owner finds all of it when this returns. A running tick (this call came from one of
    // its hooks) keeps the timer, which then does it.
    if (timerId_ != 0 && !busy_) onTimer(timerId_);
    return true;
}

int SConsolenAgent::getExitCode() {
    if (!process_.hasStarted()) return -1;
    if (process_.isRunning()) return stillActive;
    return process_.exitCode();
}

int SConsolenAgent::getState() {
    if (state_ == stateNotStarted) return state_;
    state_ = getExitCode() == stillActive ? stateRunning : stateEnded;
    return state_;
}

bool SConsolenAgent::isFinished() {
    return getState() == stateEnded;
}

void SConsolenAgent::onTimer(int id) {
    (void)id;
    // A hook that dispatches events may bring the next expiry while this one still runs.
    if (busy_) return;
    busy_ = true;
    tick();
    busy_ = false;
}

void SConsolenAgent::tick() {
    // Asked before reading: everything an ended child wrote is in the pipes now, so this read
    // is its last.
    const bool ended = isFinished();
    if (ended) stopPolling();
    readFromStream();
    if (lineMode_ ? hasLines() : !outputText_.isEmpty()) onOutput();
    if (ended) onFinished();
}

void SConsolenAgent::stopPolling() {
    if (timerId_ != 0) stopTimer(timerId_);
    timerId_ = 0;
}

void SConsolenAgent::readFromStream() {
    readPipe(platform::Process::Stream::output, outputText_);
    readPipe(platform::Process::Stream::error, lineMode_ ? errorOutputText_ : outputText_);
}

void SConsolenAgent::readPipe(platform::Process::Stream stream, SString& pending) {
    if (process_.atEnd(stream)) return;
    if (process_.bytesAvailable(stream) < 0) {
        int code = errno;
        globalError().showMessage("SConsolenAgent::readFromStream(..)", code);
        return;
    }
    // Pieces are read until the pipe is empty, so everything written since the last look is
    // taken now. The pipe does not block: an empty one ends the loop at once, and the end of
    // the output is noticed here (the pipe is closed and not looked at again).
    char buffer[readPieceSize];
    long total = 0;
    while (total < maxReadPerCall) {
        long n = process_.read(stream, buffer, sizeof buffer);
        if (n < 0) {
            int code = errno;
            globalError().showMessage("SConsolenAgent::readFromStream(..)", code);
            break;
        }
        if (n == 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        total += n;
    }
    if (lineMode_) takeLines(pending, process_.atEnd(stream));
}

void SConsolenAgent::takeLines(SString& pending, bool atEnd) {
    if (!lineSeparator_.isEmpty()) {
        std::string& text = pending.str();
        const std::string& sep = lineSeparator_.str();
        std::size_t start = 0;
        for (std::size_t pos; (pos = text.find(sep, start)) != std::string::npos; start = pos + sep.size())
            outputLines_.add(SString(text.substr(start, pos - start)));
        text.erase(0, start);
    }
    // No more bytes can follow: an unfinished last line is complete now.
    if (atEnd && !pending.isEmpty()) {
        outputLines_.add(pending);
        pending.clear();
    }
}

bool SConsolenAgent::getLine(SString& line) {
    readFromStream();
    if (lineMode_) {
        if (!hasLines()) return false;
        std::string text = outputLines_.getAt(firstLine_++).str();
        if (firstLine_ >= 64 && 2 * firstLine_ >= outputLines_.getSize()) dropTakenLines();
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        line = SString(std::move(text));
        return true;
    }
    if (outputText_.isEmpty()) return false;
    line = outputText_;
    outputText_.clear();
    return true;
}

void SConsolenAgent::readAll() {
    readFromStream();
    outputText_.clear();
    errorOutputText_.clear();
    outputLines_.removeAll();
    firstLine_ = 0;
}

const SStringList& SConsolenAgent::getOutputLines() {
    dropTakenLines();
    return outputLines_;
}

void SConsolenAgent::dropTakenLines() {
    if (firstLine_ == 0) return;
    SStringList rest;
    for (int i = firstLine_; i < outputLines_.getSize(); ++i) rest.add(outputLines_.getAt(i));
    outputLines_ = std::move(rest);
    firstLine_ = 0;
}

void SConsolenAgent::setEnvironment(const SString& settings) {
    environment_ = settings;
}

bool SConsolenAgent::terminate() {
    return process_.terminate();
}

bool SConsolenAgent::write(const SString& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    int64_t lastProgress = platform::monotonicMs();
    while (left > 0) {
        long n = process_.write(data, left);
        if (n < 0) return false;
        if (n > 0) {
            data += n;
            left -= static_cast<std::size_t>(n);
            lastProgress = platform::monotonicMs();
            continue;
        }
        if (platform::monotonicMs() - lastProgress > writeStallLimitMs || !process_.isRunning()) return false;
        // The pipe is full. A child that answers before it reads on waits for us to take its
        // output, so collect that here (also when this call comes from our own hooks, while the
        // timer is held off) and keep the events flowing.
        readFromStream();
        eventLoop().processEvents();
        process_.waitWritable(5);
    }
    return true;
}

void SConsolenAgent::closeInput() {
    process_.closeInput();
}

void SConsolenAgent::addOutput(const SString& text) {
    SStringList pieces = SStringList::split(text, SString(std::string("\r\n")));
    // A text that ends with a line end does not begin another, empty line.
    int count = pieces.getSize();
    if (count > 0 && pieces.getAt(count - 1).isEmpty()) --count;
    for (int i = 0; i < count; ++i) outputLines_.add(pieces.getAt(i));
    onOutput();
}
