#include "stream/SStreamSplitter.h"

#include <algorithm>

#include "foundation/SDebug.h"

void SStreamSplitter::onStreamData(uint8_t byte) {
    if (suspended_.load(std::memory_order_relaxed) != 0) return;
    std::lock_guard lock(mutex_);

    // Id stage, in raw mode too: a sync byte, then the id bytes (little-endian).
    bool used = false;
    if (waitingForSync_) {
        if (byte == syncByte_) {
            waitingForSync_ = false;
            collectingId_ = true;
            idByteCount_ = 0;
            currentId_ = 0;
            used = true;
        }
    } else if (collectingId_) {
        currentId_ |= static_cast<uint32_t>(byte) << (8 * idByteCount_);
        if (++idByteCount_ >= idWidth_) {
            collectingId_ = false;
            idByteCount_ = 0;
            frameLength_ = -1;
            framePos_ = -1;
        }
        used = true;
    }

    // Frame stage: the first byte after the id looks the receiver up, then bytes are stored.
    bool finished = false;
    if (!used && rawMode_.load(std::memory_order_relaxed) == 0) {
        if (framePos_ == -1 && !beginFrame())
            finished = true;
        else
            finished = storeFrameByte(byte);
    }

    // Raw tap: every byte goes to the receivers with id 0.
    rawByte_.setByte(0, byte);
    for (const Connector& connector : connectors_) {
        Receiver* receiver = connector.getReceiver();
        if (receiver->hasId(0)) receiver->receive(rawByte_, 1, 0, connector.getUserValue());
    }

    if (finished) finishFrame();
}

bool SStreamSplitter::onFrameFilter(SMem&, int32_t&, uint32_t&) {
    return false;
}

void SStreamSplitter::finishFrame() {
    framePos_ = -1;
    currentId_ = 0;
    waitingForSync_ = syncRequired_;
    collectingId_ = true;
    idByteCount_ = 0;
}

void SStreamSplitter::resetFrame() {
    std::lock_guard lock(mutex_);
    finishFrame();
}

bool SStreamSplitter::beginFrame() {
    int32_t length = 0;
    int32_t mode = Receiver::lengthFixed;
    bool found = false;
    for (const Connector& connector : connectors_) {
        if (connector.getReceiver()->getFrameInfo(currentId_, length, mode)) {
            found = true;
            break;
        }
    }
    if (!found) {
        setUnknownIdError(currentId_);
        return false;
    }
    if (mode == Receiver::lengthFixed) {
        // A record length of 0 or less would never end the frame and swallow the stream.
        if (length < 1 || static_cast<uint32_t>(length) > maxFrameLength_) {
            setError(
                SString::printf("Fehler: SStreamSplitter::onStreamData(..) Der Receiver f\xFCr die ID %d hat "
                                "keine g\xFCltige Rahmenl\xE4nge (%d Bytes, erlaubt 1...%u).",
                                static_cast<int>(currentId_), length, maxFrameLength_));
            return false;
        }
        ensureFrameSize(static_cast<std::size_t>(length) + 1);
        frameLength_ = length;
    } else if (mode == Receiver::lengthPrefix16 || mode == Receiver::lengthPrefix32) {
        frameLength_ = 0;  // read from the prefix
    } else {
        setError(
            SString::printf("Fehler: SStreamSplitter::onStreamData(..) Der Receiver f\xFCr die ID %d hat den "
                            "unbekannten L\xE4ngenmodus %d.",
                            static_cast<int>(currentId_), mode));
        return false;
    }
    lengthMode_ = mode;
    framePos_ = 0;
    return true;
}

bool SStreamSplitter::storeFrameByte(uint8_t byte) {
    if (static_cast<std::size_t>(framePos_) >= frame_.getSize()) ensureFrameSize(frame_.getSize() + 1000);
    uint8_t* bytes = frame_.getData();
    bytes[framePos_++] = byte;

    const int prefixSize = lengthMode_ == Receiver::lengthPrefix32   ? 4
                           : lengthMode_ == Receiver::lengthPrefix16 ? 2
                                                                     : 0;
    if (prefixSize != 0 && frameLength_ == 0) {
        if (framePos_ < prefixSize) return false;
        uint32_t length = 0;
        for (int i = prefixSize - 1; i >= 0; --i) length = (length << 8) | bytes[i];
        framePos_ = 0;
        // A length of 0 leaves the frame length unknown: the next bytes are a length again.
        if (length > maxFrameLength_) {
            setError(SString::printf(
                "Fehler: SStreamSplitter::onStreamData(..) Der Rahmen f\xFCr die ID %d ist mit "
                "%u Bytes l\xE4nger als erlaubt (%u Bytes) und wurde verworfen.",
                static_cast<int>(currentId_), length, maxFrameLength_));
            return true;
        }
        frameLength_ = static_cast<int32_t>(length);
        if (length > 0) ensureFrameSize(static_cast<std::size_t>(length) + 1);
        return false;
    }
    if (framePos_ == frameLength_) {
        deliverFrame();
        return true;
    }
    return false;
}

void SStreamSplitter::deliverFrame() {
    int32_t length = frameLength_;
    uint32_t id = currentId_;
    if (onFrameFilter(frame_, length, id)) return;
    // A filter may shorten the frame but never make receivers read past the buffer.
    length = std::clamp<int32_t>(length, 0,
                                 static_cast<int32_t>(std::min<std::size_t>(frame_.getSize(), INT32_MAX)));
    for (const Connector& connector : connectors_) {
        Receiver* receiver = connector.getReceiver();
        if (receiver->hasId(id)) receiver->receive(frame_, length, id, connector.getUserValue());
    }
}

void SStreamSplitter::ensureFrameSize(std::size_t size) {
    if (frame_.getSize() < size) frame_.setSize(size);
}

bool SStreamSplitter::connect(Receiver* receiver, uint32_t userValue) {
    if (!receiver) return false;
    Connector connector(receiver, userValue);
    int count;
    {
        std::lock_guard lock(mutex_);
        connectors_.add(connector);
        count = connectors_.getSize();
    }
    if (globalDebug().isOn()) globalDebug().printf("SStreamSplitter::connect(..) conectionNr=%d", count);
    return true;
}

int SStreamSplitter::getConnectorCount() const {
    std::lock_guard lock(mutex_);
    return connectors_.getSize();
}

void SStreamSplitter::setSyncRequired(bool required) {
    std::lock_guard lock(mutex_);
    syncRequired_ = required;
    waitingForSync_ = required;
}

bool SStreamSplitter::isSyncRequired() const {
    std::lock_guard lock(mutex_);
    return syncRequired_;
}

void SStreamSplitter::setMaxFrameLength(uint32_t length) {
    std::lock_guard lock(mutex_);
    maxFrameLength_ = std::max<uint32_t>(length, 1);
}

uint32_t SStreamSplitter::getMaxFrameLength() const {
    std::lock_guard lock(mutex_);
    return maxFrameLength_;
}

SString SStreamSplitter::getError() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

void SStreamSplitter::clearError() {
    std::lock_guard lock(errorMutex_);
    error_.clear();
    errorUnknownId_ = -1;
}

void SStreamSplitter::setError(const SString& text) {
    {
        std::lock_guard lock(errorMutex_);
        error_ = text;
        errorUnknownId_ = -1;
    }
    if (globalDebug().isOn()) globalDebug().print(text);
}

void SStreamSplitter::setUnknownIdError(uint32_t id) {
    std::lock_guard lock(errorMutex_);
    // A stream out of step produces this error for many bytes in a row; the text stays the same.
    if (errorUnknownId_ == static_cast<int64_t>(id)) return;
    error_.format(
        "Fehler: SStreamSplitter::onStreamData(..) Es konnte kein Receiver-Eintrag f\xFCr die ID %d "
        "gefunden werden.",
        static_cast<int>(id));
    errorUnknownId_ = id;
    if (globalDebug().isOn()) globalDebug().print(error_);
}
