#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

std::string nuktool(const std::string& args, int* rc) {
    std::string out;
    *rc = testsupport::runCommand(testsupport::toolPath() + " " + args, &out);
    return out;
}

TEST(NuktoolMcu, NameAndSignatureNameTheSamePart) {
    for (const char* query : {"atmega8", "0x1E9307", "1E9307", "07931E"}) {
        int rc = -1;
        std::string out = nuktool(std::string("mcu ") + query, &rc);
        EXPECT_EQ(rc, 0) << query << ": " << out;
        EXPECT_NE(out.find("ATmega8\n"), std::string::npos) << out;
        EXPECT_NE(out.find("8192 bytes"), std::string::npos) << out;
        EXPECT_NE(out.find("512 bytes"), std::string::npos) << out;
    }
}

TEST(NuktoolMcu, UnknownPartsAndBadUsage) {
    int rc = -1;
    std::string out = nuktool("mcu ATmega9999", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("no microcontroller"), std::string::npos) << out;
    nuktool("mcu", &rc);
    EXPECT_EQ(rc, 2);
    out = nuktool("mcu --catalogue /nonexistent.cxf atmega8", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("not found"), std::string::npos) << out;
}

}  // namespace
