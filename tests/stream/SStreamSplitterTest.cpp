#include "stream/SStreamSplitter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/SDebug.h"
#include "support/TestSupport.h"

namespace {

struct Delivery {
    std::string receiver;
    uint32_t id;
    std::string bytes;
    uint32_t userValue;
    bool operator==(const Delivery&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Delivery& d) {
    out << d.receiver << " id=" << d.id << " uv=" << d.userValue << " bytes=";
    for (unsigned char c : d.bytes) out << std::hex << static_cast<int>(c) << ' ' << std::dec;
    return out;
}

// Records every receive call, in order, into a log shared by all receivers of a test.
class RecordingReceiver : public Receiver {
public:
    RecordingReceiver(std::string name, std::vector<Delivery>& log, uint32_t id, int32_t length = 1,
                      int32_t mode = lengthFixed)
        : name_(std::move(name)), log_(log) {
        setup(id, length, mode);
    }
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override {
        log_.push_back(
            {name_, id, std::string(reinterpret_cast<const char*>(frame.getData()), length), userValue});
        return true;
    }

private:
    std::string name_;
    std::vector<Delivery>& log_;
};

void feed(SStreamSplitter& splitter, const std::string& bytes) {
    for (unsigned char b : bytes) splitter.onStreamData(b);
}

std::string unknownId(int id) {
    return "Fehler: SStreamSplitter::onStreamData(..) Es konnte kein Receiver-Eintrag f\xFCr die ID " +
           std::to_string(id) + " gefunden werden.";
}

TEST(SStreamSplitterTest, FixedLengthFramesGoToTheReceiverOfTheirId) {
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 2), two("two", log, 2, 1);
    SStreamSplitter splitter;
    EXPECT_TRUE(splitter.connect(&one, 11));
    EXPECT_TRUE(splitter.connect(&two, 22));

    feed(splitter, std::string("\x01\x10\x20\x02\x30\x01\x40\x50", 8));

    const std::vector<Delivery> expected = {
        {"one", 1, "\x10\x20", 11}, {"two", 2, "\x30", 22}, {"one", 1, "\x40\x50", 11}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(splitter.getError().str(), "");
}

TEST(SStreamSplitterTest, UnknownIdDropsItsFirstPayloadByteAndTheNextByteIsAnId) {
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 2);
    SStreamSplitter splitter;
    splitter.connect(&one, 0);

    // 07 is unknown: 99 is dropped, 01 starts the next frame.
    feed(splitter, std::string("\x07\x99\x01\x10\x20", 5));
    EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\x10\x20", 0}}));
    EXPECT_EQ(splitter.getError().str(), unknownId(7));

    // The text follows the id; clearing empties it and the same id is reported again.
    feed(splitter, std::string("\x08\x00", 2));
    EXPECT_EQ(splitter.getError().str(), unknownId(8));
    splitter.clearError();
    EXPECT_EQ(splitter.getError().str(), "");
    feed(splitter, std::string("\x08\x00", 2));
    EXPECT_EQ(splitter.getError().str(), unknownId(8));
}

TEST(SStreamSplitterTest, RawTapGetsEveryByteAlsoInRawModeButNothingWhileSuspended) {
    std::vector<Delivery> log;
    RecordingReceiver tap("tap", log, 0), one("one", log, 1, 2);
    SStreamSplitter splitter;
    splitter.connect(&one, 1);
    splitter.connect(&tap, 7);

    // Ids and payload reach the tap; the frame is delivered at its last byte, before the tap
    // sees that byte.
    feed(splitter, std::string("\x01\x10\x20", 3));
    EXPECT_EQ(
        log,
        (std::vector<Delivery>{
            {"tap", 0, "\x01", 7}, {"tap", 0, "\x10", 7}, {"one", 1, "\x10\x20", 1}, {"tap", 0, "\x20", 7}}));

    // Raw mode: no frames, the tap still gets everything; the previous value comes back.
    log.clear();
    EXPECT_EQ(splitter.setRawMode(1), 0);
    feed(splitter, std::string("\x01\x10\x20", 3));
    EXPECT_EQ(splitter.setRawMode(0), 1);
    EXPECT_EQ(log,
              (std::vector<Delivery>{{"tap", 0, "\x01", 7}, {"tap", 0, "\x10", 7}, {"tap", 0, "\x20", 7}}));

    // Suspended: nothing at all, and the parser keeps its place in the frame.
    log.clear();
    SStreamSplitter fresh;
    fresh.connect(&one, 1);
    fresh.connect(&tap, 7);
    feed(fresh, std::string("\x01\x10", 2));
    fresh.setSuspended(1);
    feed(fresh, "ok\r\n");
    fresh.setSuspended(0);
    feed(fresh, std::string("\x20", 1));
    EXPECT_EQ(
        log,
        (std::vector<Delivery>{
            {"tap", 0, "\x01", 7}, {"tap", 0, "\x10", 7}, {"one", 1, "\x10\x20", 1}, {"tap", 0, "\x20", 7}}));
}

TEST(SStreamSplitterTest, ByteCollectedAsIdInRawModeIsTheIdOfTheNextFrame) {
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 2);
    SStreamSplitter splitter;
    splitter.connect(&one, 0);

    // The id stage runs in raw mode: 01 becomes the id, AA BB are skipped without a frame.
    splitter.setRawMode(1);
    feed(splitter, std::string("\x01\xAA\xBB", 3));
    splitter.setRawMode(0);
    feed(splitter, std::string("\x10\x20", 2));
    EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\x10\x20", 0}}));
}

TEST(SStreamSplitterTest, LengthPrefixedFrames) {
    struct Case {
        const char* name;
        int32_t mode;
        std::string input;
        std::string payload;
    };
    const Case cases[] = {
        {"16-bit", Receiver::lengthPrefix16,
         std::string("\x05\x03\x00"
                     "abc",
                     6),
         "abc"},
        {"16-bit, 300 bytes", Receiver::lengthPrefix16,
         std::string("\x05\x2C\x01", 3) + std::string(300, 'x'), std::string(300, 'x')},
        // A length of 0 ends nothing: the next two bytes are the length again.
        {"16-bit zero length", Receiver::lengthPrefix16,
         std::string("\x05\x00\x00\x02\x00"
                     "xy",
                     7),
         "xy"},
        {"32-bit", Receiver::lengthPrefix32,
         std::string("\x05\x02\x00\x00\x00"
                     "xy",
                     7),
         "xy"},
        {"32-bit zero length", Receiver::lengthPrefix32,
         std::string("\x05\x00\x00\x00\x00\x01\x00\x00\x00"
                     "z",
                     10),
         "z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Delivery> log;
        RecordingReceiver r("r", log, 5, 1, c.mode);
        SStreamSplitter splitter;
        splitter.connect(&r, 0);
        // A fixed frame afterwards shows the parser is back at an id.
        RecordingReceiver after("after", log, 6, 1);
        splitter.connect(&after, 0);
        feed(splitter, c.input + std::string("\x06\x77", 2));
        EXPECT_EQ(log, (std::vector<Delivery>{{"r", 5, c.payload, 0}, {"after", 6, "\x77", 0}}));
        EXPECT_EQ(splitter.getError().str(), "");
    }
}

TEST(SStreamSplitterTest, OverlongWireLengthIsDroppedWithoutAllocatingIt) {
    std::vector<Delivery> log;
    RecordingReceiver big("big", log, 5, 1, Receiver::lengthPrefix32), one("one", log, 1, 2);
    SStreamSplitter splitter;
    splitter.connect(&big, 0);
    splitter.connect(&one, 0);
    EXPECT_EQ(splitter.getMaxFrameLength(), 1024u * 1024u);

    // 4 GiB announced: dropped at once, the next byte is an id again.
    feed(splitter, std::string("\x05\xFF\xFF\xFF\xFF\x01\x10\x20", 8));
    EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\x10\x20", 0}}));
    EXPECT_EQ(splitter.getError().str(),
              "Fehler: SStreamSplitter::onStreamData(..) Der Rahmen f\xFCr die ID 5 ist mit 4294967295 Bytes "
              "l\xE4nger als erlaubt (1048576 Bytes) und wurde verworfen.");

    // Exactly the limit is a frame; one byte more is not.
    log.clear();
    splitter.clearError();
    feed(splitter, std::string("\x05\x00\x00\x10\x00", 5) + std::string(1024 * 1024, 'q'));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].bytes.size(), 1024u * 1024u);
    feed(splitter, std::string("\x05\x01\x00\x10\x00\x01\x10\x20", 8));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], (Delivery{"one", 1, "\x10\x20", 0}));
    EXPECT_NE(splitter.getError().str().find("1048577 Bytes"), std::string::npos);

    // The limit can be lowered, for the 16-bit prefix too.
    log.clear();
    RecordingReceiver small("small", log, 6, 1, Receiver::lengthPrefix16);
    splitter.connect(&small, 0);
    splitter.setMaxFrameLength(3);
    feed(splitter, std::string("\x06\x03\x00"
                               "abc"
                               "\x06\x04\x00"
                               "\x01\x10\x20",
                               12));
    EXPECT_EQ(log, (std::vector<Delivery>{{"small", 6, "abc", 0}, {"one", 1, "\x10\x20", 0}}));
}

TEST(SStreamSplitterTest, ReceiverWithoutUsableLengthDropsTheFrame) {
    // A record length of 0 would never end a frame and swallow the stream; an unknown length
    // mode likewise. Both are dropped like an unknown id.
    struct Case {
        int32_t length;
        int32_t mode;
        const char* error;
    };
    const Case cases[] = {
        {0, Receiver::lengthFixed, "keine g\xFCltige Rahmenl\xE4nge (0 Bytes, erlaubt 1...1048576)"},
        {-3, Receiver::lengthFixed, "keine g\xFCltige Rahmenl\xE4nge (-3 Bytes, erlaubt 1...1048576)"},
        {2, -3, "den unbekannten L\xE4ngenmodus -3"},
    };
    for (const Case& c : cases) {
        std::vector<Delivery> log;
        RecordingReceiver bad("bad", log, 9, c.length, c.mode), one("one", log, 1, 2);
        SStreamSplitter splitter;
        splitter.connect(&bad, 0);
        splitter.connect(&one, 0);
        feed(splitter, std::string("\x09\x55\x01\x10\x20", 5));
        EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\x10\x20", 0}}));
        EXPECT_NE(splitter.getError().str().find(c.error), std::string::npos) << splitter.getError().str();
    }
}

TEST(SStreamSplitterTest, ReceiversOfOneIdGetEachFrameInRegistrationOrder) {
    std::vector<Delivery> log;
    RecordingReceiver a("a", log, 3, 2), b("b", log, 3, 5);
    SStreamSplitter splitter;
    splitter.connect(&a, 1);
    splitter.connect(&b, 2);
    splitter.connect(&a, 3);  // connected twice: gets the frame twice
    EXPECT_EQ(splitter.getConnectorCount(), 3);
    EXPECT_FALSE(splitter.connect(nullptr, 0));

    // The first receiver found decides the length (2), for all of them.
    feed(splitter, std::string("\x03\x61\x62", 3));
    EXPECT_EQ(log, (std::vector<Delivery>{{"a", 3, "ab", 1}, {"b", 3, "ab", 2}, {"a", 3, "ab", 3}}));
}

TEST(SStreamSplitterTest, SyncRequiredFramesStartWithTheSyncByte) {
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 2), two("two", log, 2, 1);
    SStreamSplitter splitter;
    splitter.connect(&one, 0);
    splitter.connect(&two, 0);
    splitter.setSyncRequired(true);
    EXPECT_TRUE(splitter.isSyncRequired());

    // Inside a frame C5 is payload; between frames a byte other than C5 belongs to no frame.
    feed(splitter, std::string("\xC5\x01\xC5\xC5"
                               "\x42"
                               "\xC5\x02\x30",
                               8));
    EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\xC5\xC5", 0}, {"two", 2, "\x30", 0}}));
    EXPECT_EQ(splitter.getError().str(), unknownId(0));

    // Switched off again, ids follow each other directly.
    log.clear();
    splitter.setSyncRequired(false);
    feed(splitter, std::string("\x02\x31\x02\x32", 4));
    EXPECT_EQ(log, (std::vector<Delivery>{{"two", 2, "\x31", 0}, {"two", 2, "\x32", 0}}));
}

// Consumes frames of id 2, shortens frames of id 1 to one byte and readdresses id 3 to id 1.
class FilteringSplitter : public SStreamSplitter {
public:
    bool onFrameFilter(SMem&, int32_t& length, uint32_t& id) override {
        if (id == 2) return true;
        if (id == 1) length = 1;
        if (id == 3) id = 1;
        return false;
    }
};

TEST(SStreamSplitterTest, FrameFilterConsumesOrChangesFrames) {
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 2), two("two", log, 2, 1), three("three", log, 3, 2);
    FilteringSplitter splitter;
    splitter.connect(&one, 0);
    splitter.connect(&two, 0);
    splitter.connect(&three, 0);
    feed(splitter, std::string("\x01\x10\x20\x02\x30\x03\x40\x50", 8));
    EXPECT_EQ(log, (std::vector<Delivery>{{"one", 1, "\x10", 0}, {"one", 1, "\x40\x50", 0}}));
}

TEST(SStreamSplitterTest, DebugLinesOnlyWhenTheChannelIsOn) {
    SDebug& debug = globalDebug();
    debug.setTarget(SString(std::string("127.0.0.1")), 1);  // nobody listens there
    debug.setEcho(true);
    std::vector<Delivery> log;
    RecordingReceiver one("one", log, 1, 1);

    testing::internal::CaptureStderr();
    {
        SStreamSplitter splitter;
        splitter.connect(&one, 0);
        feed(splitter, std::string("\x07\x00", 2));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    debug.setOn(true);
    testing::internal::CaptureStderr();
    {
        SStreamSplitter splitter;
        splitter.connect(&one, 0);
        feed(splitter, std::string("\x07\x00", 2));
    }
    const std::string lines = testing::internal::GetCapturedStderr();
    debug.setOn(false);
    debug.setEcho(false);
    debug.setTarget(SString(std::string("localhost")), 5001);

    EXPECT_NE(lines.find("Connector::Connector(..) new Connector("), std::string::npos) << lines;
    EXPECT_NE(lines.find("SStreamSplitter::connect(..) conectionNr=1\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find(unknownId(7)), std::string::npos) << lines;
}

TEST(SStreamSplitterTest, ConnectorListReportsRangeErrorsUnderItsOwnName) {
    testsupport::MessageCapture boxes;
    ConnectorList list;
    EXPECT_EQ(list.getAt(0).getReceiver(), nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("Fehler in der Liste: ConnectorList.getAt(..)"), std::string::npos);
}

}  // namespace
