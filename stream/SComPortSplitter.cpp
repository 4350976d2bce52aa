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

void SComPortSplitter::resumeAfterCommand(const std::string& framesAhead) {
    whileDeliveryHeld([this, &framesAhead] {
        setSuspended(0);
        for (char c : framesAhead) onStreamData(static_cast<uint8_t>(c));
        uint8_t byte;
        while (getRing().get(&byte, 1)) onStreamData(byte);
    });
}

std::string SComPortSplitter::takeFramesAhead(SString& answer) {
    const std::string& text = answer.str();
    const std::size_t ok = text.find("OK");
    if (ok == std::string::npos || ok == 0) return {};
    std::string ahead = text.substr(0, ok);
    answer = SString(text.substr(ok));
    return ahead;
}
