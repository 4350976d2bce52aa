// The bootloader back-end: writes the flash through the Duvaro module's "myBoot" bootloader.
#pragma once

#include "board/SAvrProg.h"
#include "foundation/SMem.h"

class SComPort;

// Knows one job, "write-flash-file" (or "write-flash" with the bytes in the block); every other
// job is noted as not supported and the list goes on. Talks over the board data's serial port,
// which it reopens at 19200 baud and leaves so.
class SAvrProgControl : public SAvrProg {
public:
    S_CLASSNAME(SAvrProgControl)

    static constexpr int blockSize = 512;
    static constexpr uint8_t imageMask = 0xC6;
    static constexpr uint8_t checksumStart = 0x24;

    SAvrProgControl();
    explicit SAvrProgControl(SAvrBoardData* data);

    bool execute(SMapStringToMem& jobs) override;
    // The file named in the block (Intel HEX) into the image.
    bool readHexFileToMem(const SMem& fileName, SMem& image);
    // The "myBoot" protocol: greeting, session, blocks, checksum, start. The image is not
    // changed (the masked copy is the protocol's own).
    bool writeData(const SMem& image);

    // Bytes sent so far and in all, for a caller that shows progress (updated per block).
    using Progress = void (*)(void* context, int done, int total);
    void setProgress(Progress progress, void* context) {
        progress_ = progress;
        progressContext_ = context;
    }

    // The checksum the bootloader answers: checksumStart XOR every masked image byte.
    static uint8_t checksum(const SMem& maskedImage);

private:
    Progress progress_ = nullptr;
    void* progressContext_ = nullptr;
};
