// The channel model read from the experiment's own files, and from variants of them.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "session/ChannelModel.h"
#include "support/TestSupport.h"

namespace {

const std::string extData = testsupport::sourceDir() + "/resources/extdata.ini";
const std::string repository = testsupport::sourceDir() + "/resources/physik.repo";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ChannelModel load(const std::string& ini, const std::string& repo) {
    return ChannelModel::fromFiles(SString(ini), SString(repo));
}

TEST(ChannelModel, DescribesTheExperimentsStream) {
    const ChannelModel model = load(extData, repository);
    ASSERT_TRUE(model.isComplete());
    const ChannelModel::Curve* charging = model.curve(HalfCycle::charging);
    const ChannelModel::Curve* discharging = model.curve(HalfCycle::discharging);
    EXPECT_EQ(charging->channel.name, "Aufladen");
    EXPECT_EQ(charging->channel.frameId, 1u);
    EXPECT_EQ(charging->channel.recordLength, 2);
    EXPECT_EQ(charging->objNr, 203);
    EXPECT_EQ(discharging->channel.frameId, 2u);
    EXPECT_EQ(discharging->objNr, 204);
    EXPECT_EQ(charging->xCaption, "t in s");
    EXPECT_EQ(charging->yCaption, "U_C (Laden) in V");
    EXPECT_EQ(discharging->yCaption, "U_C (Entladen) in V");
    EXPECT_EQ(model.voltageDisplay()->channel.frameId, 3u);
    EXPECT_EQ(model.currentDisplay()->channel.frameId, 4u);
    EXPECT_DOUBLE_EQ(model.sampleStep(), 0.1);

    // The values as the diagram computes them: a curve in single precision, a display in double.
    EXPECT_EQ(ChannelModel::curveValue(*charging, 1023), 0.0F + static_cast<float>(5.0 / 1023.0) * 1023.0F);
    EXPECT_NEAR(ChannelModel::curveValue(*charging, 1023), 5.0F, 1e-6F);
    EXPECT_DOUBLE_EQ(ChannelModel::displayValue(*model.voltageDisplay(), 1023), 0.004887585532746823 * 1023);
    EXPECT_DOUBLE_EQ(ChannelModel::displayValue(*model.currentDisplay(), 1023), 0.0004887585532746823 * 1023);
    // A sample's time is its number times the step, as exact at the end as at the start.
    EXPECT_EQ(model.sampleTime(0), 0.0);
    EXPECT_EQ(model.sampleTime(9999), 9999 * 0.1);
}

// Another sample step, other frame ids or a diagram without one of the curves reach every
// reader through the model; nothing assumes the experiment's values.
TEST(ChannelModel, FollowsTheFiles) {
    testsupport::TempDir dir;
    const std::string repo = readFile(repository);
    const std::string ini = readFile(extData);
    struct Case {
        const char* what;
        std::string ini;
        std::string repo;
        bool complete;
        double step;
        uint32_t chargingId;
    } cases[] = {
        {"20 samples a second", ini, std::regex_replace(repo, std::regex("OsziValueStepX=f=0\\.1"), "OsziValueStepX=f=0.05"),
         true, 0.05, 1},
        {"an x axis that counts samples", ini,
         std::regex_replace(repo, std::regex("OsziValueStepX=f=0\\.1"), "OsziValueStepX=f=1"), true, 0.1, 1},
        {"other frame ids", std::regex_replace(ini, std::regex("Aufladen\\|1\\|"), "Aufladen|7|"), repo, true, 0.1, 7},
        {"no discharging channel", std::regex_replace(ini, std::regex("extData2=Entladen[^\\r\\n]*"), ""), repo, false,
         0.1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("extdata.ini", c.ini);
        dir.write("physik.repo", c.repo);
        const ChannelModel model = load(dir.file("extdata.ini"), dir.file("physik.repo"));
        EXPECT_EQ(model.isComplete(), c.complete);
        EXPECT_DOUBLE_EQ(model.sampleStep(), c.step);
        ASSERT_NE(model.curve(HalfCycle::charging), nullptr);
        EXPECT_EQ(model.curve(HalfCycle::charging)->channel.frameId, c.chargingId);
    }
    // Files that cannot be read give a model that knows nothing.
    const ChannelModel none = load(dir.file("fehlt.ini"), repository);
    EXPECT_FALSE(none.isComplete());
    EXPECT_EQ(none.curve(HalfCycle::charging), nullptr);
    EXPECT_DOUBLE_EQ(none.sampleStep(), ChannelModel::defaultSampleStep);
}

}  // namespace
