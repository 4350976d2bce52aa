#include "foundation/SApplicationBasic.h"

#include "foundation/SError.h"
#include "foundation/SEventLoop.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

SApplicationBasic& globalApplicationBasic() {
    static SApplicationBasic application;
    return application;
}

SApplicationBasic::SApplicationBasic() {
    // The kernel hands the arguments over already split; empty ones are dropped as the
    // splitting of a command line would drop them.
    SStringList args;
    for (const std::string& a : platform::commandLineArguments())
        if (!a.empty()) args.add(SString(a));
    setArguments(args);
}

SApplicationBasic::~SApplicationBasic() = default;

SStringList SApplicationBasic::splitCommandLine(const SString& line) {
    SStringList args;
    std::string current;
    bool quoted = false;
    auto finish = [&] {
        if (current.size() >= 2 && current.front() == '"' && current.back() == '"')
            current = current.substr(1, current.size() - 2);
        if (!current.empty()) args.add(SString(current));
        current.clear();
    };
    for (char c : line.str()) {
        if (c == '"') quoted = !quoted;
        if (!quoted && static_cast<unsigned char>(c) < 33) {
            finish();
            continue;
        }
        current += c;
    }
    finish();
    return args;
}

void SApplicationBasic::setArguments(const SStringList& arguments) {
    arguments_ = arguments;
    programPath_ = arguments.isEmpty() ? SString() : arguments.getAt(0);
    SString dir;
    SFileSystem::splitPath(programPath_, nullptr, &dir, nullptr, nullptr);
    if (dir.getLength() > 1 && (dir.str().back() == '/' || dir.str().back() == '\\')) dir = dir.left(dir.getLength() - 1);
    if (dir.isEmpty()) dir = SString(platform::currentDirectory());
    programDirectory_ = dir;
}

SString SApplicationBasic::getProgramName() const {
    SString name;
    SFileSystem::splitPath(programPath_, nullptr, nullptr, &name, nullptr);
    return name;
}

bool SApplicationBasic::openConfigFile(std::unique_ptr<SFileIni>& file, const SString& folder, const char* operation) {
    if (file) return true;
    SString name = getProgramName();
    if (name.isEmpty()) {
        globalError().add(SString::printf(
            "Fehler in SApplication::%s(..): Der Dateiname der Anwendung konnte nicht ermittelt werden.\r\n"
            "Eventuell haben Sie diese Funktion vor der Verarbeitung der \xDC" "bergabeparameter (z.B. in einem "
            "Konstruktor) aufgerufen.",
            operation));
        return false;
    }
    platform::createDirectories(folder.str());
    auto ini = std::make_unique<SFileIni>();
    if (!ini->open(SFileSystem::join(folder, name + ".cfg"), true, false)) return false;
    file = std::move(ini);
    return true;
}

bool SApplicationBasic::openUserConfigFile() {
    return openConfigFile(userConfig_, SString(platform::userConfigDirectory()), "openUserConfigFile");
}

bool SApplicationBasic::openComputerConfigFile() {
    return openConfigFile(computerConfig_, SString(platform::computerConfigDirectory()), "openComputerConfigFile");
}

bool SApplicationBasic::wait(int ms, const volatile int* abortFlag) {
    const int64_t deadline = platform::monotonicMs() + ms;
    SEventLoop& loop = eventLoop();
    while (true) {
        loop.processEvents();
        if (abortFlag && *abortFlag == 0) return false;
        int64_t left = deadline - platform::monotonicMs();
        if (left <= 0) return true;
        // Short slices keep the abort flag and window messages prompt.
        loop.waitForEvents(static_cast<int>(std::min<int64_t>(left, 5)));
    }
}
