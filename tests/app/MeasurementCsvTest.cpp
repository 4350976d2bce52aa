// The CSV file of a measurement, byte for byte, and writing it without losing an older file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/BurnProgress.h"
#include "app/MeasurementCsv.h"
#include "support/TestSupport.h"

namespace {

MeasurementCsv::Curve curve(const char* x, const char* y, std::vector<std::pair<double, float>> values) {
    return MeasurementCsv::Curve{SString(std::string(x)), SString(std::string(y)), std::move(values)};
}

// Every sample shown is written: rows as the longest curve has, empty cells where a curve has
// no value; a file of curves of equal length is what it always was.
TEST(MeasurementCsvTest, RowsOfEverySampleShown) {
    struct Case {
        const char* what;
        std::vector<MeasurementCsv::Curve> curves;
        std::string expected;
    } cases[] = {
        {"two curves of equal length",
         {curve("t in s", "U_C (Laden) in V", {{0.0f, 0.5f}, {0.1f, -12.5f}}),
          curve("x2", "U_C (Entladen) in V", {{7.0f, 4.75f}, {8.0f, 1234567.0f}})},
         "t in s;U_C (Laden) in V;U_C (Entladen) in V\r\n"
         "0,000000;0,500000;4,750000\r\n"
         "0,100000;-12,500000;1234567,000000\r\n"},
        {"stopped while charging: the discharging cells stay empty",
         {curve("t in s", "U_C (Laden) in V", {{0.0f, 0.5f}, {0.1f, 1.5f}, {0.2f, 3.0f}}),
          curve("t in s", "U_C (Entladen) in V", {})},
         "t in s;U_C (Laden) in V;U_C (Entladen) in V\r\n"
         "0,000000;0,500000;\r\n"
         "0,100000;1,500000;\r\n"
         "0,200000;3,000000;\r\n"},
        {"stopped while discharging: the x of the rows past the first curve from the second",
         {curve("t in s", "A", {{0.0f, 1.0f}}), curve("t in s", "B", {{0.0f, 4.0f}, {0.1f, 3.0f}})},
         "t in s;A;B\r\n0,000000;1,000000;4,000000\r\n0,100000;;3,000000\r\n"},
        {"one curve: x and y", {curve("t", "U", {{1.5f, 2.25f}})}, "t;U\r\n1,500000;2,250000\r\n"},
        {"no samples: the header only", {curve("t", "A", {}), curve("t", "B", {})}, "t;A;B\r\n"},
        {"captions as they are, umlauts in Windows-1252",
         {curve("Zeit;s", "Spannung \xFC" "ber C", {{0.0f, 0.0f}})},
         "Zeit;s;Spannung \xFC" "ber C\r\n0,000000;0,000000\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(MeasurementCsv::build(c.curves, MeasurementCsv::Format::semicolonComma, 0.1).str(), c.expected)
        << c.what;
    EXPECT_EQ(MeasurementCsv::build({}, MeasurementCsv::Format::semicolonComma, 0.1).str(), "");
    // The time column beside sample numbers also when the first curve is empty.
    EXPECT_EQ(MeasurementCsv::build({curve("Nr.", "A", {}), curve("Nr.", "B", {{0.0f, 1.0f}, {1.0f, 2.0f}})},
                                    MeasurementCsv::Format::commaPoint, 0.1)
                  .str(),
              "Nr.,t in s,A,B\r\n0.000000,0.000000,,1.000000\r\n1.000000,0.100000,,2.000000\r\n");
}

TEST(MeasurementCsvTest, BothFormatsAndATimeColumnBesideSampleNumbers) {
    const std::vector<MeasurementCsv::Curve> seconds = {
        curve("t in s", "U_C (Laden) in V", {{0.0f, 0.5f}, {0.1f, -12.5f}}),
        curve("t in s", "U, entladen", {{0.0f, 4.75f}, {0.1f, 1.0f}})};
    const std::vector<MeasurementCsv::Curve> samples = {curve("Nr.", "U \"C\"", {{0.0f, 0.5f}, {1.0f, 1.5f}, {2.0f, 2.5f}})};
    struct Case {
        const char* what;
        const std::vector<MeasurementCsv::Curve>& curves;
        MeasurementCsv::Format format;
        std::string expected;
    } cases[] = {
        {"German, seconds", seconds, MeasurementCsv::Format::semicolonComma,
         "t in s;U_C (Laden) in V;U, entladen\r\n0,000000;0,500000;4,750000\r\n0,100000;-12,500000;1,000000\r\n"},
        {"international, seconds: a caption with the separator is quoted", seconds,
         MeasurementCsv::Format::commaPoint,
         "t in s,U_C (Laden) in V,\"U, entladen\"\r\n0.000000,0.500000,4.750000\r\n0.100000,-12.500000,1.000000\r\n"},
        {"German, sample numbers get the time", samples, MeasurementCsv::Format::semicolonComma,
         "Nr.;t in s;U \"C\"\r\n0,000000;0,000000;0,500000\r\n1,000000;0,100000;1,500000\r\n"
         "2,000000;0,200000;2,500000\r\n"},
        {"international, sample numbers", samples, MeasurementCsv::Format::commaPoint,
         "Nr.,t in s,\"U \"\"C\"\"\"\r\n0.000000,0.000000,0.500000\r\n1.000000,0.100000,1.500000\r\n"
         "2.000000,0.200000,2.500000\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(MeasurementCsv::build(c.curves, c.format, 0.1).str(), c.expected) << c.what;
    // Whole numbers that do not count up one by one are no sample numbers.
    EXPECT_FALSE(MeasurementCsv::isSampleNumbers({{0.0, 0.0f}, {2.0, 0.0f}}));
    EXPECT_FALSE(MeasurementCsv::isSampleNumbers({{5.0, 0.0f}}));
    EXPECT_TRUE(MeasurementCsv::isSampleNumbers({{5.0, 0.0f}, {6.0, 0.0f}}));
}

TEST(MeasurementCsvTest, WritingKeepsTheOldFileWhenItFails) {
    testsupport::TempDir dir;
    const SString file(dir.file("Messung.csv"));
    SString error;
    int code = 0;
    ASSERT_TRUE(MeasurementCsv::write(file, SString(std::string("neu\r\n")), &code, &error));
    EXPECT_EQ(dir.read("Messung.csv"), "neu\r\n");
    ASSERT_TRUE(MeasurementCsv::write(file, SString(std::string("neuer\r\n")), &code, &error));
    EXPECT_EQ(dir.read("Messung.csv"), "neuer\r\n");

    // Read-only: refused, the content stays (root may write anything, so only when it is refused).
    chmod(file.c_str(), 0444);
    if (!MeasurementCsv::write(file, SString(std::string("weg")), &code, &error)) {
        EXPECT_EQ(dir.read("Messung.csv"), "neuer\r\n");
        EXPECT_NE(code, 0);
        EXPECT_TRUE(error.startsWith("Fehler beim Schreiben der Datei '")) << error.str();
    }
    chmod(file.c_str(), 0644);

    // No folder: a clear failure, nothing written.
    EXPECT_FALSE(MeasurementCsv::write(SString(dir.file("fehlt/Messung.csv")), SString(std::string("x")), &code,
                                       &error));
    EXPECT_NE(code, 0);
    EXPECT_NE(error.str().find("fehlt/Messung.csv"), std::string::npos);
    // Only the file itself is in the folder: no half-written neighbour is left behind.
    std::string listing;
    testsupport::runCommand("ls -A '" + dir.path() + "'", &listing);
    EXPECT_EQ(listing, "Messung.csv\n");
}

TEST(MeasurementCsvTest, ProposedNameCarriesTheLocalTime) {
    testsupport::ScopedEnv tz("TZ", "UTC");
    tzset();
    // 2011-04-19 13:38:17 UTC.
    EXPECT_EQ(MeasurementCsv::proposedFileName(SString(std::string("/home/schule/Dokumente")), 1303220297).str(),
              "/home/schule/Dokumente/Messung 2011-04-19 13_38_17.csv");
}

TEST(BurnProgressTest, OutputNeverBecomesMarkup) {
    struct Case {
        const char* text;
        const char* html;
    } cases[] = {
        {"Schreibe Flash\r\n", "Schreibe&nbsp;Flash<br>"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b \"c\"\r\n  d", "a&nbsp;&amp;&nbsp;b&nbsp;&quot;c&quot;<br>&nbsp;&nbsp;d"},
        {"<br>", "&lt;br&gt;"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BurnProgress::outputHtml(SString(std::string(c.text))).str(), c.html) << c.text;
}

TEST(BurnProgressTest, StateTexts) {
    struct Case {
        int code;
        bool shown;
        const char* text;
    } cases[] = {
        {2, true, "Verbinde"},
        {3, true, "brenne Verbinde"},
        {1, true, "Fertig, Verbinde"},
        {0, true, "FEHLER: Verbinde"},
        {4, false, ""},
        {10000, false, ""},
    };
    for (const Case& c : cases) {
        SString out;
        EXPECT_EQ(BurnProgress::stateText(c.code, SString(std::string("Verbinde")), out), c.shown) << c.code;
        EXPECT_EQ(out.str(), c.text) << c.code;
    }
}

// The programmer's progress lines appear in words; anything else stays as it came.
TEST(BurnProgressTest, ProgressLinesInWords) {
    struct Case {
        const char* line;
        const char* shown;
    } cases[] = {
        {"flash|write|1024|8192", "Flash schreiben: 1024 von 8192 Bytes (12 %)"},
        {"flash|verify|8192|8192", "Flash pr\xFC" "fen: 8192 von 8192 Bytes (100 %)"},
        {"eeprom|read|0|0", "EEPROM lesen: 0 Bytes"},
        {"hfuse|ok", "High-Fuse fertig"},
        {"flash|write|12x|8192", "flash|write|12x|8192"},
        {"flash|write|1", "flash|write|1"},
        {"rom|write|1|2", "rom|write|1|2"},
        {"Verbinde mit Programmer", "Verbinde mit Programmer"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SString out;
        ASSERT_TRUE(BurnProgress::stateText(2, SString(std::string(c.line)), out));
        EXPECT_EQ(out.str(), c.shown) << c.line;
    }
}

}  // namespace
