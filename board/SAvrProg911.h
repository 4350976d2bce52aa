// The back-end for AVR910/AVR911 serial programmers (the AVR109 command set with block mode
// and the checksum extension), the Ravlink adapter's programmer among them.
#pragma once

#include <cstdint>

#include "board/SAvrProg.h"
#include "foundation/SMem.h"

class SComPort;

// execute() reopens the board data's serial port at 19200,N,8,1 when it runs otherwise, enters
// programming mode, identifies the programmer, runs the jobs, leaves programming mode and puts
// the port's settings back. All waits keep the event loop running.
class SAvrProg911 : public SAvrProg {
public:
    S_CLASSNAME(SAvrProg911)

    // The checksum extension answers 4 bytes for at most this many bytes.
    static constexpr uint32_t checksumPart = 16384;

    SAvrProg911();
    explicit SAvrProg911(SAvrBoardData* data);
    ~SAvrProg911() override;

    bool execute(SMapStringToMem& jobs) override;

    // What the identification of the last execute found.
    const uint8_t* getSignature() const { return signature_; }
    bool isBlockMode() const { return blockMode_; }
    uint16_t getBlockSize() const { return blockSize_; }
    uint8_t getSwMajor() const { return swMajor_; }
    uint8_t getSwMinor() const { return swMinor_; }
    bool hasAutoIncrement() const { return autoIncrement_; }
    // Block mode and a software version above 2.2: the programmer answers flash checksums.
    bool hasChecksum() const;

    // The answers to 'S' of the programmers this back-end speaks to: "AVR ISP" (AVR910
    // programmers, the Ravlink adapter) and "AVRBOOT" (AVR109 self-programming bootloaders,
    // which speak the same command set).
    static bool isProgrammerId(const SString& id);

    // The sum of all bytes as the checksum extension forms it.
    static uint32_t byteSum(const uint8_t* bytes, std::size_t count);

private:
    bool enterProgMode();
    bool identify();
    bool leaveProgMode();
    bool runJob(const SString& key, SMem& block);

    bool setAddress(bool flash, std::size_t byteCount, bool variantText);
    // Sets the word address ('A', or 'H' for extended addresses) and reads the acknowledgement.
    bool sendAddress(uint32_t address, bool extended);
    // The flash page of the current part in bytes; 0 when it writes word by word (or is unknown).
    std::size_t flashPageBytes() const;
    // What tells the flash from the EEPROM: command letters, time-out, progress prefix, word or
    // byte access, size, and the flash's erase and checksum.
    struct Memory;
    static const Memory flashMemory;
    static const Memory eepromMemory;
    // Writes the job's image (erasing the chip first for the flash) and verifies it.
    bool writeMemory(const Memory& memory, SMem& block, const SString& source);
    // Reads the whole memory of the part.
    bool readMemory(const Memory& memory, SMem& image);
    bool readMemoryJob(const Memory& memory, SMem& block, const SString& source);
    bool readCheckSum(std::size_t byteCount, uint32_t& sum);
    bool compareImages(const SMem& written, const SMem& read);
    bool writeFuse(const SString& target, uint8_t value);
    bool readFuse(const SString& target, SMem& block);
    bool readCalibration(SMem& block);
    bool universalCommand(const uint8_t* bytes, int count, uint8_t& answer, bool fourBytes);

    bool loadData(const SMem& block, const SString& source, SMem& image);
    bool saveData(const SMem& image, const SMem& block, const SString& source, SMem& target);

    // Sends bytes; false (with the port's text) when the write fails.
    bool send(const uint8_t* bytes, std::size_t count);
    bool send(uint8_t byte) { return send(&byte, 1); }
    // Reads exactly count bytes within timeoutMs.
    bool receive(SMem& answer, uint32_t count, int timeoutMs);
    // Reads one byte and checks that it is the carriage return of an acknowledgement.
    bool expectAck(int timeoutMs);
    // Adds the port's own text when the line went away, so the user learns why.
    void addPortFailure();

    SComPort* port_ = nullptr;
    uint8_t signature_[3] = {0, 0, 0};
    bool blockMode_ = false;
    uint16_t blockSize_ = 0;
    uint8_t swMajor_ = 0;
    uint8_t swMinor_ = 0;
    bool autoIncrement_ = false;
    bool portFailureAdded_ = false;
};
