// "cmd:open-excel": the measurement goes to messung.csv in a temporary folder of the user's own
// and the spreadsheet script opens it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/Fenster.h"
#include "app/Globals.h"
#include "foundation/SResources.h"
#include "platform/Shell.h"
#include "support/TestSupport.h"

namespace {

class RecordingShell : public platform::Shell {
public:
    int open(const std::string& file, const std::string& parameters, const std::string& workingDir) override {
        calls.push_back(file + "|" + parameters + "|" + workingDir);
        return 0;
    }
    std::vector<std::string> calls;
};

class SpreadsheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = &platform::shell();
        platform::setShell(&shell);
    }
    void TearDown() override { platform::setShell(previous); }
    void openSpreadsheet() {
        SEvent event;
        event.type = eventPageCommand;
        event.text = "cmd:open-excel";
        EXPECT_EQ(fenster.onEvent(event), 1);
    }

    Fenster& fenster = globalFenster();
    testsupport::TempDir tmp;
    testsupport::ScopedEnv tmpdir{"TMPDIR", tmp.path().c_str()};
    testsupport::MessageCapture messages;
    RecordingShell shell;
    platform::Shell* previous = nullptr;
};

TEST_F(SpreadsheetTest, WritesIntoAPrivateFolderAndRunsTheScript) {
    const std::string folder = tmp.file("nuk-" + std::to_string(getuid()));
    const std::string csv = folder + "/messung.csv";
    openSpreadsheet();
    openSpreadsheet();
    EXPECT_EQ(messages.all(), "");
    const std::string call = globalResources().getFile("openexcel.sh").str() + "|\"" + csv + "\"|";
    EXPECT_EQ(shell.calls, (std::vector<std::string>{call, call}));
    EXPECT_EQ(tmp.read(folder.substr(tmp.path().size() + 1) + "/messung.csv"),
              fenster.buildCsv(fenster.findOscilloscopes()).str());
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// A folder of that name prepared by somebody else (here: a link to another folder, or one that
// others may enter) is not used: nothing is written, nothing opened, the message says why.
TEST_F(SpreadsheetTest, RefusesAFolderItDoesNotOwnAlone) {
    const std::string folder = tmp.file("nuk-" + std::to_string(getuid()));
    for (const std::string& prepare : {"mkdir '" + tmp.file("fremd") + "' && ln -s '" + tmp.file("fremd") + "' '" + folder + "'",
                                       "mkdir -m 0777 '" + folder + "'"}) {
        testsupport::runCommand("rm -rf '" + folder + "' '" + tmp.file("fremd") + "'");
        ASSERT_EQ(testsupport::runCommand(prepare), 0);
        messages.clear();
        openSpreadsheet();
        EXPECT_TRUE(shell.calls.empty());
        ASSERT_EQ(messages.boxes().size(), 1u) << prepare;
        EXPECT_NE(messages.boxes()[0].text.find("nicht sicher nutzbar"), std::string::npos);
        EXPECT_EQ(tmp.read("fremd/messung.csv"), "");
    }
}

}  // namespace
