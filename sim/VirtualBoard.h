// The virtual experiment board: a pseudo-terminal that answers as the real board does.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "foundation/SString.h"
#include "sim/AvrMemory.h"
#include "sim/BoardFirmware.h"
#include "sim/PseudoTerminal.h"
#include "sim/Avr911Programmer.h"
#include "sim/RavlinkAdapter.h"
#include "sim/RcCircuit.h"
#include "sim/SerialLine.h"
#include "sim/SimAvrCore.h"
#include "sim/SimBootloader.h"

// Owns the pseudo-terminal and a thread that runs the board: the Ravlink adapter (when the
// board sits behind one), the serial line and the firmware with its RC circuit. The program
// under test opens getDevicePath() (or the COM name, when the board registered itself in the
// COM port map) as its serial port.
//
// Usage: VirtualBoard board; board.start(options); ... board.stop();
class VirtualBoard : public SObject {
public:
    S_CLASSNAME(VirtualBoard)

    struct Options {
        RcParameters circuit;
        // Seed of the noise; without one every start picks a new one.
        std::optional<uint64_t> seed;
        // Behind the Ravlink adapter: the firmware is reachable only after the adapter's "d",
        // and only while the adapter's supply is on. Otherwise the board is plugged in directly.
        bool adapter = false;
        // With the adapter: the supply at start-up (the adapter starts in programmer mode).
        bool supplyOn = false;
        // Bytes travel at the line rate of the program's settings, and the firmware understands
        // only 115200,N,8. Without it every byte arrives at once.
        bool realisticTiming = false;
        // Model seconds per real second: 100 runs a 60 s cycle in 0.6 s.
        double timeScale = 1.0;
        // Enter the device in the COM port map as a CP210x port (and remove it at stop). Off by
        // default, so that tests never touch the user's map by accident.
        bool registerPort = false;
        // The wanted COM name ("com9"); empty: the next free one. Without registration it is
        // only reported.
        SString comName;
        // The COM port map's file; empty: the map's default (NUK_COMPORTS or the user's).
        SString comPortsFile;
        // A line for every command the board handles, called on the board's thread.
        std::function<void(const SString& line)> log;
        // Called on the board's thread right after bytes went to the program, with the time
        // just before the write (steady clock, nanoseconds); for latency measurements.
        std::function<void(SimTime written, const uint8_t* bytes, int count)> onWrite;
        // The adapter's AVR910/AVR911 programmer, which answers while the adapter is in
        // programmer mode (only with the adapter).
        Avr911Programmer::Options programmer;
        // The controller module's serial bootloader ("myBurn" or "myBoot"): with one, the
        // controller starts in it and writes what it receives into getMemory()'s flash.
        BootloaderOptions bootloader;
        // The controller runs the image of getMemory()'s flash on a simulated ATmega8 (with the
        // circuit on its pins) instead of the built-in protocol-level firmware. An erased flash
        // runs nothing, so the firmware dialogue gets no answer until an image is loaded or burnt.
        bool core = false;
    };

    VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;
    ~VirtualBoard() override;

    // Opens the pseudo-terminal, registers it when asked and starts the board's thread. False
    // with the error text set on invalid options or when the system refuses.
    bool start(const Options& options);
    // Stops the thread, removes the registration and closes the pseudo-terminal (the program
    // sees the board unplugged).
    void stop();
    bool isRunning() const { return thread_.joinable(); }

    const SString& getDevicePath() const { return devicePath_; }
    const SString& getComName() const { return comName_; }
    const SString& getError() const { return error_; }
    const Options& getOptions() const { return options_; }
    uint64_t getSeed() const { return seed_; }
    // The circuit of the running board (valid after a successful start).
    const RcCircuit& getCircuit() const;

    // Counters since start.
    int64_t getFramesSent() const { return framesSent_.load(); }
    int64_t getBytesSent() const { return bytesSent_.load(); }
    int64_t getBytesReceived() const { return bytesReceived_.load(); }
    // Bytes the program's end did not take (nobody reading) or that a full line dropped.
    int64_t getBytesDropped() const { return bytesDropped_.load(); }
    // Samples of the current (or last) measurement run.
    int64_t getSampleCount() const;

    bool isMeasuring() const;
    bool isSupplyOn() const;
    bool isPassThrough() const;
    // The adapter's programmer (valid after a successful start).
    const Avr911Programmer* getProgrammer() const { return programmer_.get(); }
    // The settings the program has given its end of the line; false when not running.
    bool getLineSettings(LineSettings& settings) const;

    // The controller's flash, EEPROM, fuses and lock bits. They belong to the board, not to a
    // run: they keep their contents across stop and start, as a real board's memories do.
    AvrMemory& getMemory() { return memory_; }
    const AvrMemory& getMemory() const { return memory_; }

    // The reset button of the controller module: it restarts in its bootloader (safe from any
    // thread; without a bootloader it does nothing).
    void pressReset();
    // The bootloader, or nullptr without one.
    const SimBootloader* getBootloader() const { return bootloader_.get(); }

    // The character format the firmware uses.
    static LineSettings firmwareSettings() { return LineSettings{115200, 8, 'N', 1}; }

private:
    class FirmwareSink;
    class AdapterSink;

    void run();
    void fromProgram(uint8_t byte, SimTime now);
    void toDevice(uint8_t byte, SimTime now);
    void flush(SimTime now);
    void wake();
    void toController(uint8_t byte, SimTime now);
    void resetIntoBootloader(SimTime now);
    bool validate(const Options& o);

    Options options_;
    AvrMemory memory_;
    uint64_t seed_ = 0;
    PseudoTerminal pty_;
    std::unique_ptr<RcCircuit> circuit_;
    // The application the controller runs: the protocol-level firmware, or the simulated core.
    std::unique_ptr<SimPeer> firmware_;
    BoardFirmware* protocolFirmware_ = nullptr;
    SimAvrCore* core_ = nullptr;
    std::unique_ptr<RavlinkAdapter> adapter_;
    std::unique_ptr<Avr911Programmer> programmer_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<FirmwareSink> firmwareSink_;
    std::unique_ptr<AdapterSink> adapterSink_;
    std::unique_ptr<SimBootloader> bootloader_;
    bool bootloaderRan_ = false;     // the bootloader was active in the last pass
    int lastHostBaud_ = 0;
    std::atomic<bool> resetRequested_{false};
    std::vector<uint8_t> out_;
    SimTime now_ = 0;  // the time of the board loop's current pass

    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int wakeFd_ = -1;
    bool registered_ = false;
    SString devicePath_;
    SString comName_;
    SString error_;

    std::atomic<int64_t> framesSent_{0};
    std::atomic<int64_t> bytesSent_{0};
    std::atomic<int64_t> bytesReceived_{0};
    std::atomic<int64_t> bytesDropped_{0};
};
