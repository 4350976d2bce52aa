// The programmer settings that the board connection shares with its programmer back-ends.
#pragma once

#include "foundation/SString.h"

class SComPort;
class SConsolenAgent;
class SEventManager;
class AvrMcuXml;

// The back-ends keep a pointer to it (not owned); every pointer here is not owned either.
class SAvrBoardData : public SObject {
public:
    S_CLASSNAME(SAvrBoardData)

    SAvrBoardData() = default;
    ~SAvrBoardData() override = default;

    // Lower case: "avr910", "avr911", "duvaro", "sp12", "unknown" or another name.
    SString programmerType;
    // Upper case: "COM3,19200" for a serial programmer, "LPT1" for a parallel port, "USB".
    SString port;
    // "ATmega8" and the like.
    SString mcu;
    // The directory that holds the avrdude program.
    SString avrdudeDirectory;
    // The console of the board's output window, when it has one; progress lines go there first.
    SConsolenAgent* outputConsole = nullptr;
    // The board data's own console, used when there is no output window.
    SConsolenAgent* console = nullptr;
    // The board's serial port (set by SAvrBoard::initProg).
    SComPort* comPort = nullptr;
    // The MCU catalogue (set by SAvrBoard::initProg).
    AvrMcuXml* mcuXml = nullptr;
    // Where the back-ends send their progress events (type 10000); set once by the main window.
    SEventManager* eventReceiver = nullptr;
};
