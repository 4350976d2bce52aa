#include "board/AvrMcuXml.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// The catalogue the build makes from resources/avr.xml.
SString builtCatalogue() {
    return SString(testsupport::binaryDir() + "/resources/avr.cxf");
}

class AvrMcuXmlTest : public ::testing::Test {
protected:
    void SetUp() override {
        mcu.reset();
        mcu.setCatalogueFile(builtCatalogue());
    }
    void TearDown() override { mcu.reset(); }
    AvrMcuXml mcu;
};

TEST_F(AvrMcuXmlTest, ShippedCatalogueKnowsTheClassicParts) {
    struct Part {
        const char* mcu;
        const char* sig;
        int flash;
        int eeprom;
    };
    const Part parts[] = {
        {"ATmega8", "9307", 8192, 512},       {"ATmega8515", "9306", 8192, 512},
        {"ATmega8535", "9308", 8192, 512},    {"ATmega16", "9403", 16384, 512},
        {"ATmega32", "9502", 32768, 1024},    {"ATmega48", "9205", 4096, 256},
        {"ATmega88", "930A", 8192, 512},      {"ATmega168", "9406", 16384, 512},
        {"ATmega328P", "950F", 32768, 1024},  {"ATmega64", "9602", 65536, 2048},
        {"ATmega128", "9702", 131072, 4096},  {"ATmega644P", "960A", 65536, 2048},
        {"ATmega1280", "9703", 131072, 4096}, {"ATmega2560", "9801", 262144, 4096},
        {"ATtiny13", "9007", 1024, 64},       {"ATtiny2313", "910A", 2048, 128},
        {"ATtiny45", "9206", 4096, 256},      {"ATtiny85", "930B", 8192, 512},
    };
    ASSERT_TRUE(mcu.init());
    for (const Part& p : parts) {
        SCOPED_TRACE(p.mcu);
        EXPECT_EQ(mcu.getFlashSize(p.mcu), p.flash);
        EXPECT_EQ(mcu.getEepromSize(p.mcu), p.eeprom);
        EXPECT_EQ(mcu.getPartName(SString("0x1E") + p.sig), p.mcu);
    }
}

TEST_F(AvrMcuXmlTest, EverySignatureSpellingFindsTheSamePart) {
    const char* spellings[] = {"1E9307", "0x1E9307", "1e9307", "9307", "07931E", "0x07931E"};
    for (const char* s : spellings) EXPECT_EQ(mcu.getPartName(s), "ATmega8") << s;
    // Four characters or fewer are searched unchanged.
    EXPECT_EQ(mcu.getPartName("1E93"), "");
    EXPECT_EQ(mcu.getPartName("FFFF"), "");
}

TEST_F(AvrMcuXmlTest, SelectIgnoresCaseAndSizesFollowTheCurrentPart) {
    EXPECT_EQ(mcu.getFlashSize(), -1);  // nothing selected yet
    ASSERT_TRUE(mcu.select("atMEGA8"));
    EXPECT_EQ(mcu.getFlashSize(), 8192);
    EXPECT_EQ(mcu.getEepromSize(), 512);
    EXPECT_EQ(mcu.getPartName(""), "ATmega8");
    EXPECT_EQ(mcu.getFlashPageSize(), 64);
    EXPECT_FALSE(mcu.select("ATmega9999"));
    EXPECT_EQ(mcu.getFlashSize(), -1);
    EXPECT_EQ(mcu.getFlashSize("nonsense"), -1);
    EXPECT_EQ(mcu.getFlashPageSize(), -1);
    // The page of a part written page by page; 0 for one written word by word.
    EXPECT_EQ(mcu.getFlashPageSize("ATtiny13"), 32);
    EXPECT_EQ(mcu.getFlashPageSize("ATmega2560"), 256);
    EXPECT_EQ(mcu.getFlashPageSize("AT90S2313"), 0);
}

TEST_F(AvrMcuXmlTest, PartWithoutEepromAndHexadecimalSizes) {
    testsupport::TempDir dir;
    dir.write("cat.xml",
              "<AVR><AVRPART mcu='ATtiny11' sig='9004'><PROG_FLASH>0x400</PROG_FLASH>"
              "<ADMIN><PART_NAME>ATtiny11</PART_NAME></ADMIN></AVRPART></AVR>");
    mcu.setCatalogueFile(SString(dir.file("cat.xml")));
    EXPECT_EQ(mcu.getFlashSize("ATtiny11"), 1024);
    EXPECT_EQ(mcu.getEepromSize("ATtiny11"), 0);
}

TEST_F(AvrMcuXmlTest, AVRElementBelowAnotherRoot) {
    testsupport::TempDir dir;
    dir.write("cat.xml",
              "<Catalogue><Other/><AVR><AVRPART mcu='ATmega8' sig='9307'><PROG_FLASH>8192</PROG_FLASH>"
              "</AVRPART></AVR></Catalogue>");
    mcu.setCatalogueFile(SString(dir.file("cat.xml")));
    EXPECT_EQ(mcu.getFlashSize("atmega8"), 8192);
}

TEST_F(AvrMcuXmlTest, AFailedLoadIsRetriedOnTheNextQuery) {
    mcu.setCatalogueFile(SString(std::string("/nonexistent/avr.cxf")));
    EXPECT_FALSE(mcu.init());
    EXPECT_EQ(mcu.getFlashSize("ATmega8"), -1);
    EXPECT_EQ(mcu.getPartName("1E9307"), "");
    mcu.setCatalogueFile(builtCatalogue());
    EXPECT_EQ(mcu.getFlashSize("ATmega8"), 8192);
}

}  // namespace
