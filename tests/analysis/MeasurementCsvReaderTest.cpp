#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/MeasurementCsvReader.h"

namespace {

TEST(MeasurementCsvReader, ReadsBothVariantsAndWhatSpreadsheetsWriteBack) {
    struct Case {
        const char* name;
        std::string text;
        char separator;
        char decimal;
        std::vector<std::string> headers;
        std::vector<std::vector<double>> columns;
    };
    const Case cases[] = {
        {"program's file", "t in s;U_C (Laden) in V;U_C (Entladen) in V\r\n0,000000;0,014663;4,990225\r\n"
                           "0,100000;0,117302;4,877810\r\n",
         ';', ',', {"t in s", "U_C (Laden) in V", "U_C (Entladen) in V"},
         {{0.0, 0.1}, {0.014663, 0.117302}, {4.990225, 4.87781}}},
        {"international", "t in s,U in V\n0.0,1.5\n0.1,-2e-3\n", ',', '.', {"t in s", "U in V"}, {{0, 0.1}, {1.5, -0.002}}},
        {"comma file with quoted decimal commas", "\"n\",\"U\"\r\n\"0\",\"1,25\"\r\n1,\"2,5\"\r\n", ',', ',',
         {"n", "U"}, {{0, 1}, {1.25, 2.5}}},
        {"tabs, CR line ends, byte order mark, blank lines", "\xEF\xBB\xBFt\tU\r\r0\t1\r1\t2\r", '\t', '.', {"t", "U"},
         {{0, 1}, {1, 2}}},
        {"no caption line, semicolon and points", "0;1.5\n1;2.5\n", ';', '.', {"Spalte 1", "Spalte 2"},
         {{0, 1}, {1.5, 2.5}}},
        {"short rows and text cells become gaps", "t;A;B\n0;1;2\n1;x\n2;;3\n", ';', '.', {"t", "A", "B"},
         {{0, 1, 2}, {1, NAN, NAN}, {2, NAN, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementTable table;
        SString error;
        ASSERT_TRUE(MeasurementCsvReader::parse(c.text, table, error)) << error.str();
        EXPECT_EQ(table.separator, c.separator);
        EXPECT_EQ(table.decimalMark, c.decimal);
        EXPECT_EQ(table.headers, c.headers);
        ASSERT_EQ(table.columns.size(), c.columns.size());
        for (std::size_t k = 0; k < c.columns.size(); ++k) {
            ASSERT_EQ(table.columns[k].size(), c.columns[k].size()) << k;
            for (std::size_t r = 0; r < c.columns[k].size(); ++r) {
                if (std::isnan(c.columns[k][r]))
                    EXPECT_TRUE(std::isnan(table.columns[k][r])) << k << "," << r;
                else
                    EXPECT_DOUBLE_EQ(table.columns[k][r], c.columns[k][r]) << k << "," << r;
            }
        }
    }
}

TEST(MeasurementCsvReader, CaptionsKeepTheirBytesAndSayWhetherTheyAreUtf8) {
    MeasurementTable table;
    SString error;
    ASSERT_TRUE(
        MeasurementCsvReader::parse("t;Spannung \xFC"
                                    "ber C\n0;1\n1;2\n",
                                    table, error));
    EXPECT_EQ(table.headers[1], "Spannung \xFC" "ber C");
    EXPECT_FALSE(table.headerUtf8);
    ASSERT_TRUE(
        MeasurementCsvReader::parse("t;Spannung \xC3\xBC"
                                    "ber C\n0;1\n1;2\n",
                                    table, error));
    EXPECT_TRUE(table.headerUtf8);
}

TEST(MeasurementCsvReader, RefusesTextsWithoutATable) {
    for (const char* text : {"", "\r\n\r\n", "t;U\r\n", "nur Text\nund noch mehr Text\n", "0\n1\n2\n", "t;U\nx;y\n",
                             "t;U\n1;\n2;\n"}) {
        MeasurementTable table;
        SString error;
        EXPECT_FALSE(MeasurementCsvReader::parse(text, table, error)) << text;
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(MeasurementCsvReader, TheXColumnCountsSecondsOrSamples) {
    struct Case {
        std::vector<double> x;
        XAxis axis;
    };
    const Case cases[] = {
        {{0, 0.1, 0.2, 0.3}, XAxis::seconds},
        {{0, 1, 2, 3}, XAxis::samples},
        {{5, 6, NAN, 8}, XAxis::seconds},  // a gap breaks the count of samples
        {{0, 2, 4}, XAxis::seconds},
        {{0, 1, 1, 2}, XAxis::rows},
        {{3, 2, 1}, XAxis::rows},
        {{NAN, NAN}, XAxis::rows},
    };
    for (const Case& c : cases) EXPECT_EQ(MeasurementCsvReader::detectXAxis(c.x), c.axis) << c.x.size();

    MeasurementTable table;
    table.columns = {{10, 11, 12}, {1, 2, 3}};
    table.headers = {"n", "U"};
    const Curve samples = MeasurementCsvReader::curve(table, 1, XAxis::samples);
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_DOUBLE_EQ(samples[2].t, 1.2);
    EXPECT_DOUBLE_EQ(MeasurementCsvReader::curve(table, 1, XAxis::rows)[2].t, 0.2);
    EXPECT_DOUBLE_EQ(MeasurementCsvReader::curve(table, 1, XAxis::seconds)[2].t, 12.0);
    EXPECT_TRUE(MeasurementCsvReader::curve(table, 0, XAxis::seconds).empty());
    EXPECT_TRUE(MeasurementCsvReader::curve(table, 2, XAxis::seconds).empty());
}

}  // namespace
