// Cuts a byte stream into frames [sync byte][id][payload] and hands them to receivers.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "foundation/SMem.h"
#include "stream/Connector.h"

// Wire format: an optional sync byte (0xC5, only with sync required), the receiver id (one byte,
// little-endian when wider), then the payload: record length bytes for a fixed-length receiver,
// or a 16-bit (mode -2) or 32-bit (mode -4) little-endian byte count followed by that many bytes.
// Frames follow each other without gaps. A frame goes to every receiver with its id, in
// registration order; receivers with id 0 also get every single byte (the raw tap).
//
// onStreamData runs on the serial reader thread, and so does every receive. The parser state is
// guarded by a lock, so a receiver connected while the port is open is safe too; receive runs
// under that lock and must not call connect. Raw mode and the suspended flag are atomic: the GUI
// thread switches them while the reader thread parses.
class SStreamSplitter : public SObject {
public:
    S_CLASSNAME(SStreamSplitter)

    static constexpr uint8_t defaultSyncByte = 0xC5;
    // Longest frame accepted. Lengths of modes -2 and -4 come from the wire, so a corrupted or
    // hostile stream could otherwise make the splitter allocate up to 4 GiB for one frame.
    static constexpr uint32_t defaultMaxFrameLength = 1024 * 1024;

    SStreamSplitter() = default;
    ~SStreamSplitter() override = default;
    SStreamSplitter(const SStreamSplitter&) = delete;
    SStreamSplitter& operator=(const SStreamSplitter&) = delete;

    // The parser: one received byte. Does nothing at all while suspended.
    virtual void onStreamData(uint8_t byte);
    // Sees every complete frame before delivery and may change its length and id; true means the
    // frame is consumed and not delivered. The base returns false.
    virtual bool onFrameFilter(SMem& frame, int32_t& length, uint32_t& id);

    // Appends a connector (one receiver may be connected several times); false for no receiver.
    bool connect(Receiver* receiver, uint32_t userValue);
    int getConnectorCount() const;

    // While raw mode is not 0 no frames are assembled; the id stage and the raw tap still run.
    // Returns the previous value, so callers can put it back.
    int32_t setRawMode(int32_t value) { return rawMode_.exchange(value); }
    int32_t getRawMode() const { return rawMode_.load(); }
    // While not 0 every byte is ignored completely: no id, no frame, no raw tap.
    void setSuspended(int32_t value) { suspended_.store(value); }
    int32_t getSuspended() const { return suspended_.load(); }
    // Sets both the sync-required and the waiting-for-sync flag.
    void setSyncRequired(bool required);
    bool isSyncRequired() const;

    // The last framing error; empty when none happened since the last clear.
    SString getError() const;
    void clearError();
    // Drops a frame begun but not finished: the next byte is a sync byte or an id again.
    void resetFrame();

    // Frames longer than this are dropped with an error text (at least 1).
    void setMaxFrameLength(uint32_t length);
    uint32_t getMaxFrameLength() const;

private:
    // Back to the start of a frame: the next byte is a sync byte or an id.
    void finishFrame();
    // Looks up the receiver of the current id for a frame's first byte; false drops the byte.
    bool beginFrame();
    // Stores one payload (or length prefix) byte; true when the frame is finished.
    bool storeFrameByte(uint8_t byte);
    void deliverFrame();
    void setError(const SString& text);
    // The unknown-id text, formatted only when the id differs from the last one reported.
    void setUnknownIdError(uint32_t id);
    void ensureFrameSize(std::size_t size);

    mutable std::mutex mutex_;
    mutable std::mutex errorMutex_;
    SString error_;
    // Id of the unknown-id text in error_, or -1.
    int64_t errorUnknownId_ = -1;

    std::atomic<int32_t> suspended_{0};
    std::atomic<int32_t> rawMode_{0};
    uint8_t syncByte_ = defaultSyncByte;
    int idWidth_ = 1;
    uint32_t maxFrameLength_ = defaultMaxFrameLength;
    ConnectorList connectors_;
    SMem frame_{5};
    SMem rawByte_{1};
    uint32_t currentId_ = 0;
    int32_t frameLength_ = -1;
    int32_t framePos_ = -1;
    bool waitingForSync_ = false;
    bool syncRequired_ = false;
    int32_t lengthMode_ = Receiver::lengthFixed;
    bool collectingId_ = true;
    int idByteCount_ = 0;
};
