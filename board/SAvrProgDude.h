// The programmer back-end that hands the job list to the external programmer avrdude.
#pragma once

#include "board/SAvrProg.h"
#include "foundation/SLists.h"

// Every job becomes one "-U" argument; avrdude runs once for the whole list as a console child
// process whose output goes to the board's output console. Read jobs get their data back from
// temporary files, made with unpredictable names (mkstemp) in the temporary directory and
// deleted at the end of the run.
//
// File jobs ("write-flash-file") use Intel HEX for flash and EEPROM, raw bytes for the rest.
// Jobs whose block holds the data ("write-flash", "read-eeprom", "read-signature") exchange raw
// bytes with avrdude, so the block holds the memory's bytes as with the other back-ends.
class SAvrProgDude : public SAvrProg {
public:
    S_CLASSNAME(SAvrProgDude)

    static constexpr const char* programName = "avrdude";

    SAvrProgDude();
    explicit SAvrProgDude(SAvrBoardData* data);
    ~SAvrProgDude() override;

    bool execute(SMapStringToMem& jobs) override;
    // Clears the error text and deletes the temporary files.
    void clearOutput();
    // The avrdude argument of one job; empty on failure.
    SString prepareJob(const SString& key, SMem& block);
    // Fetches the result of one job after the run.
    bool analyseJob(const SString& key, SMem& block, int index);
    // Deletes every temporary file and empties the list.
    void deinit();

    // The program and its arguments of the last run (for the trace and tests).
    const SString& getProgram() const { return program_; }
    const SString& getArguments() const { return arguments_; }
    // The exit code of the last run (-1 when it did not start).
    int getExitCode() const { return exitCode_; }
    const SStringList& getTempFiles() const { return tempFiles_; }

    // The device avrdude gets for a port name: "com3" through the COM port map, "lpt1".."lpt3"
    // as /dev/parport0..2; others ("usb", a device path) as they are.
    static SString devicePort(const SString& portName);
    // A serial port's name: a COM name ("com3") or a device path ("/dev/ttyUSB0").
    static bool isSerialPort(const SString& portName);

private:
    SStringList tempFiles_;
    SString program_;
    SString arguments_;
    int exitCode_ = -1;
};
