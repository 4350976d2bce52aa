#include "stream/SComPortSplitter.h"

SComPortSplitter::~SComPortSplitter() {
    close();
}

void SComPortSplitter::suspendForCommand() {
    whileDeliveryHeld([this] {
        getRing().clear();
        setSuspended(1);
    });
}

void SComPortSplitter::resumeAfterCommand() {
    whileDeliveryHeld([this] {
        setSuspended(0);
        uint8_t byte;
        while (getRing().get(&byte, 1)) onStreamData(byte);
    });
}
