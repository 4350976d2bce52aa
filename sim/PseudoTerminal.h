// The board's end of a pseudo-terminal: the program opens the slave device as its serial port.
#pragma once

#include <cstdint>

#include "foundation/SString.h"
#include "sim/LineSettings.h"

// The board reads and writes the master side (raw, non-blocking). It also keeps a descriptor
// of the slave device open for itself, never read from: through it the board sees the settings
// the program gives the port (tcgetattr), and because the slave stays open the master does not
// report EIO when the program closes the port. Closing the master is how the board unplugs:
// the program then sees POLLHUP and end of file.
class PseudoTerminal : public SObject {
public:
    S_CLASSNAME(PseudoTerminal)

    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal() override { close(); }

    // Creates the pair; false with the error text set when the system refuses.
    bool open();
    void close();
    bool isOpen() const { return master_ >= 0; }

    // "/dev/pts/4": the device the program opens.
    const SString& getSlavePath() const { return slavePath_; }
    int getMasterFd() const { return master_; }
    const SString& getError() const { return error_; }

    // Bytes from the program: the count read, 0 when there are none, -1 on an error.
    int read(uint8_t* buffer, int size);
    // Hands bytes to the program: the count the line took (the rest is the caller's to drop),
    // -1 on an error.
    int write(const uint8_t* bytes, int count);
    // The settings the program has set on its end: baud rate, stop bits and parity, where even
    // parity reads as none and the data bits as 8 (the driver keeps only what it uses).
    bool getSettings(LineSettings& settings) const;

    // The baud rate of a termios speed constant; 0 for one the table does not know.
    static int baudOfSpeed(unsigned speed);

private:
    int master_ = -1;
    int slave_ = -1;
    SString slavePath_;
    SString error_;
};
