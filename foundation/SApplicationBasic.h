// Command line, program path and directory, configuration files, and the message-pumping wait.
#pragma once

#include <memory>

#include "foundation/SLists.h"
#include "foundation/SString.h"

class SFileIni;

class SApplicationBasic : public SObject {
public:
    S_CLASSNAME(SApplicationBasic)

    // Takes the process's own command line.
    SApplicationBasic();
    ~SApplicationBasic() override;

    // Splits a command line into arguments: blanks and control characters separate them
    // outside double quotes; a double quote toggles quoting; an argument that begins and ends
    // with a double quote loses both; empty arguments are dropped.
    static SStringList splitCommandLine(const SString& line);

    // Sets the arguments; the first is the program path, and the program directory follows
    // from it (the current directory when it has none).
    void setArguments(const SStringList& arguments);
    const SStringList& getArguments() const { return arguments_; }
    const SString& getProgramPath() const { return programPath_; }
    const SString& getProgramDirectory() const { return programDirectory_; }
    // The program's file name without directory and extension.
    SString getProgramName() const;

    // "<per-user config folder>/<program>.cfg", created when missing.
    bool openUserConfigFile();
    // "<all-users config folder>/<program>.cfg", created when missing.
    bool openComputerConfigFile();
    SFileIni* getUserConfigFile() { return userConfig_.get(); }
    SFileIni* getComputerConfigFile() { return computerConfig_.get(); }

    // Dispatches events until ms milliseconds have passed; returns false at once when an abort
    // flag is given and becomes 0. Every blocking wait of the system goes through here, so the
    // window stays responsive.
    static bool wait(int ms, const volatile int* abortFlag = nullptr);

private:
    bool openConfigFile(std::unique_ptr<SFileIni>& file, const SString& folder, const char* operation);

    std::unique_ptr<SFileIni> computerConfig_;
    std::unique_ptr<SFileIni> userConfig_;
    SString programPath_;
    SStringList arguments_;
    SString programDirectory_;
};

SApplicationBasic& globalApplicationBasic();
