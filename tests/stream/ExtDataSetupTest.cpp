#include "stream/ExtDataSetup.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "stream/SStreamSplitter.h"
#include "support/TestSupport.h"

namespace {

SString raw(const std::string& text) {
    return SString(text);
}

// Six channels, a registry and a record of the connections made.
struct ChannelSet {
    ExtData_ReceiverBuffered channel[6];
    ExtDataManager manager;
    std::vector<std::pair<Receiver*, uint32_t>> connections;

    ExtDataSetup::Channels channels() {
        return {&channel[0], &channel[1], &channel[2], &channel[3], &channel[4], &channel[5]};
    }
    bool run(const std::string& ini) {
        SFileIni file;
        file.setContent(raw(ini));
        return ExtDataSetup::setupChannels(
            file, channels(),
            [this](Receiver* r, uint32_t userValue) {
                connections.emplace_back(r, userValue);
                return true;
            },
            manager);
    }
};

std::string listError(int requested, int highest) {
    return "Fehler in der Liste: SStringList.getAt(..)\r\nEs wurde ein Element au\xDF"
           "erhalb des Bereiches angefordert.\r\nAngefordert wurde: " +
           std::to_string(requested) + "\r\nm\xF6glich ist: 0..." + std::to_string(highest);
}

TEST(ExtDataSetupTest, FirstKeyReadsMissingFieldsAsEmptyAndTakesItsType) {
    struct Case {
        std::string value;
        uint32_t id;
        int32_t recordLength;
        std::size_t ringBytes;
        uint32_t userValue;
        int32_t type;
    };
    const Case cases[] = {
        {"U|1|1|500|0", 1, 1, 500, 0, 1},
        {"U|1|2|500|0|1002", 1, 2, 1000, 0, 1002},
        {"U|9|2|10|77|", 9, 2, 20, 77, 2},  // empty type: the record length
        {"U|3", 3, 0, 0, 0, 0},             // everything else empty, no list error
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        testsupport::MessageCapture boxes;
        ChannelSet s;
        EXPECT_TRUE(s.run("[extData]\r\nextData1=" + c.value + "\r\n"));
        ExtData_ReceiverBuffered& ch = s.channel[0];
        EXPECT_EQ(s.manager.get(raw("U")), static_cast<ExtData*>(&ch));
        EXPECT_EQ(ch.getId(), c.id);
        EXPECT_EQ(ch.getRecordLength(), c.recordLength);
        EXPECT_EQ(ch.getLengthMode(), Receiver::lengthFixed);
        EXPECT_EQ(ch.getRing().getCapacity(), c.ringBytes);
        EXPECT_EQ(ch.getType(), c.type);
        ASSERT_EQ(s.connections.size(), 1u);
        EXPECT_EQ(s.connections[0].first, static_cast<Receiver*>(&ch));
        EXPECT_EQ(s.connections[0].second, c.userValue);
        EXPECT_TRUE(boxes.boxes().empty());
    }
}

TEST(ExtDataSetupTest, OtherKeysSplitAsTheyStand) {
    testsupport::MessageCapture boxes;
    ChannelSet s;
    // Key 2 has a type field, which only key 1 reads; key 3 lacks fields 2 to 4.
    EXPECT_TRUE(s.run("[extData]\r\nextData2=V|2|2|10|7|1002\r\nextData3=W|3\r\n"));

    EXPECT_EQ(s.channel[1].getType(), 2);
    EXPECT_EQ(s.channel[1].getRing().getCapacity(), 20u);
    EXPECT_EQ(s.manager.get(raw("V")), static_cast<ExtData*>(&s.channel[1]));

    // Each missing field reports the list error and reads as empty.
    ASSERT_EQ(boxes.boxes().size(), 3u);
    EXPECT_EQ(boxes.boxes()[0].text, listError(2, 1));
    EXPECT_EQ(boxes.boxes()[1].text, listError(3, 1));
    EXPECT_EQ(boxes.boxes()[2].text, listError(4, 1));
    EXPECT_EQ(s.channel[2].getId(), 3u);
    EXPECT_EQ(s.channel[2].getRecordLength(), 0);
    EXPECT_EQ(s.channel[2].getType(), 0);
    EXPECT_EQ(s.channel[2].getRing().getCapacity(), 0u);
    EXPECT_EQ(s.manager.get(raw("W")), static_cast<ExtData*>(&s.channel[2]));
    ASSERT_EQ(s.connections.size(), 2u);
    EXPECT_EQ(s.connections[0].second, 7u);
    EXPECT_EQ(s.connections[1].second, 0u);
}

TEST(ExtDataSetupTest, MissingOrEmptyKeysLeaveTheirChannelsUnused) {
    ChannelSet s;
    EXPECT_TRUE(
        s.run("[extData]\r\nextData1=A|1|2|5|0\r\nextData2=B|2|2|5|0\r\nextData4=D|4|2|5|0\r\n"
              "extData5=\r\n[other]\r\nextData6=F|6|2|5|0\r\n"));
    EXPECT_NE(s.manager.get(raw("A")), nullptr);
    EXPECT_NE(s.manager.get(raw("B")), nullptr);
    EXPECT_EQ(s.manager.get(raw("D")), static_cast<ExtData*>(&s.channel[3]));
    EXPECT_EQ(s.manager.get(raw("F")), nullptr);
    EXPECT_EQ(s.manager.getList().getCount(), 3);
    // Channel 3 stays as constructed and unconnected.
    EXPECT_EQ(s.channel[2].getId(), 0u);
    EXPECT_EQ(s.channel[2].getRing().getCapacity(), 0u);
    ASSERT_EQ(s.connections.size(), 3u);
    EXPECT_EQ(s.connections[2].first, static_cast<Receiver*>(&s.channel[3]));
}

TEST(ExtDataSetupTest, SecondChannelOfANameReplacesTheFirst) {
    ChannelSet s;
    EXPECT_TRUE(s.run("[extData]\r\nextData1=U|1|2|5|0\r\nextData2=U|2|2|5|0\r\n"));
    EXPECT_EQ(s.manager.get(raw("U")), static_cast<ExtData*>(&s.channel[1]));
    EXPECT_EQ(s.manager.getList().getCount(), 1);
    // Both are connected all the same.
    EXPECT_EQ(s.connections.size(), 2u);
}

TEST(ExtDataSetupTest, ShippedFileDefinesTheExperimentsFourChannels) {
    const std::string path = testsupport::sourceDir() + "/resources/extdata.ini";
    SFileIni ini;
    ASSERT_TRUE(ini.open(raw(path), false, true));
    const std::string& text = ini.getContent().str();
    std::size_t bareLineFeeds = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        bareLineFeeds += text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
    EXPECT_EQ(bareLineFeeds, 0u);

    testsupport::MessageCapture boxes;
    ChannelSet s;
    SStreamSplitter splitter;
    EXPECT_TRUE(ExtDataSetup::setupChannels(ini, s.channels(), splitter, s.manager));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.all();

    const char* names[] = {"Aufladen", "Entladen", "U_C", "I"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        ExtData* ch = s.manager.get(raw(names[i]));
        ASSERT_EQ(ch, static_cast<ExtData*>(&s.channel[i]));
        EXPECT_EQ(s.channel[i].getId(), static_cast<uint32_t>(i + 1));
        EXPECT_EQ(s.channel[i].getRecordLength(), 2);
        EXPECT_EQ(ch->getType(), ExtData::typeUInt16);
        // A whole cycle of 60 s at 10 samples per second fits.
        EXPECT_GE(s.channel[i].getRing().getCapacity(), 600u * 2u);
    }
    EXPECT_EQ(s.manager.getList().getCount(), 4);
    EXPECT_EQ(splitter.getConnectorCount(), 4);

    // One sample while charging: frames for Aufladen, U_C and I.
    for (unsigned char b : std::string("\x01\x10\x02\x03\x10\x02\x04\x20\x01", 9)) splitter.onStreamData(b);
    EXPECT_EQ(splitter.getError().str(), "");
    auto* uc = static_cast<ExtData_ReceiverBuffered*>(s.manager.get(raw("U_C")));
    EXPECT_EQ(uc->getLatestValue(), 0x210u);
    EXPECT_EQ(s.channel[0].getRing().count(), 2);
    EXPECT_EQ(s.channel[1].getRing().count(), 0);
    EXPECT_EQ(s.channel[3].getLatestValue(), 0x120u);
}

}  // namespace
