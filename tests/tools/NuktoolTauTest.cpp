#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

int tool(const std::string& arguments, std::string* out = nullptr) {
    return testsupport::runCommand("'" + testsupport::toolPath() + "' " + arguments, out);
}

// U_C of the board's run (charging first, from 0 V, 30 s per half cycle) in ADC steps, with a
// deterministic wobble of one count.
double boardVoltage(int sample, double tau) {
    const double t = sample / 10.0;
    const double h = 30.0;
    const int half = static_cast<int>(std::floor(t / h + 1e-9));
    const double inside = t - half * h;
    double low = 0.0;
    double u = 0.0;
    for (int k = 0; k <= half; ++k) {
        const double duration = k == half ? inside : h;
        if (k % 2 == 0) {
            u = 5.0 - (5.0 - low) * std::exp(-duration / tau);
        } else {
            u = u * std::exp(-duration / tau);
            low = u;
        }
        if (k % 2 == 0 && k < half) low = u;  // the next (discharging) half starts here
    }
    const int wobble = (sample * 7919) % 3 - 1;
    return std::clamp(std::round(u / 5.0 * 1023.0) + wobble, 0.0, 1023.0) * 5.0 / 1023.0;
}

std::string number(double v, bool comma) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%f", v);
    std::string s = buffer;
    if (comma)
        for (char& c : s)
            if (c == '.') c = ',';
    return s;
}

// The program's two oscilloscope columns (each gets samples only in its half cycle) over one
// cycle, in the program's variant or the international one with sample numbers.
std::string oscilloscopeCsv(double tau, bool german) {
    const char sep = german ? ';' : ',';
    std::string text = std::string(german ? "t in s" : "n") + sep + "U_C (Laden) in V" + sep + "U_C (Entladen) in V\r\n";
    for (int i = 0; i < 300; ++i) {
        text += (german ? number(i / 10.0, true) : std::to_string(i)) + sep + number(boardVoltage(i, tau), german) + sep +
                number(boardVoltage(300 + i, tau), german) + "\r\n";
    }
    return text;
}

// Every "τ = 4,71 s" in the output, as numbers.
std::vector<double> taus(const std::string& out) {
    std::vector<double> values;
    const std::regex pattern("\xCF\x84 = ([0-9]+),([0-9]+) s");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), pattern); it != std::sregex_iterator(); ++it)
        values.push_back(std::stod((*it)[1].str() + "." + (*it)[2].str()));
    return values;
}

TEST(NuktoolTau, EvaluatesBothCsvVariants) {
    TempDir dir;
    for (double tau : {4.7, 22.0}) {
        for (bool german : {true, false}) {
            SCOPED_TRACE(std::to_string(tau) + (german ? " ;" : " ,"));
            dir.write("m.csv", oscilloscopeCsv(tau, german));
            std::string out;
            ASSERT_EQ(tool("tau '" + dir.file("m.csv") + "'", &out), 0) << out;
            EXPECT_NE(out.find(german ? "Trennzeichen \";\", Dezimalkomma, x: Zeit in s"
                                      : "Trennzeichen \",\", Dezimalpunkt, x: Messpunkt-Nummern"),
                      std::string::npos)
                << out;
            EXPECT_NE(out.find("U_C (Laden) in V: Laden, 0,0 s bis 29,9 s (300 Werte)"), std::string::npos) << out;
            EXPECT_NE(out.find("U_C (Entladen) in V: Entladen"), std::string::npos) << out;
            EXPECT_NE(out.find(" s (Fit)"), std::string::npos);
            EXPECT_NE(out.find(" s (63 %)"), std::string::npos);
            EXPECT_NE(out.find(" s (ln)"), std::string::npos);
            EXPECT_NE(out.find(" s \xC2\xB1 0,"), std::string::npos) << out;
            const std::vector<double> values = taus(out);
            ASSERT_EQ(values.size(), 6u) << out;
            for (double v : values) EXPECT_NEAR(v, tau, 0.02 * tau) << out;
        }
    }
}

TEST(NuktoolTau, FindsEveryHalfCycleOfALongRecordAndGradesSeveralFiles) {
    TempDir dir;
    std::string record = "t in s;U_C in V\r\n";
    for (int i = 0; i < 1200; ++i) record += number(i / 10.0, true) + ";" + number(boardVoltage(i, 4.7), true) + "\r\n";
    dir.write("a.csv", record);
    dir.write("b.csv", oscilloscopeCsv(4.7, true));
    std::string out;
    ASSERT_EQ(tool("tau --brief '" + dir.file("a.csv") + "' '" + dir.file("b.csv") + "'", &out), 0) << out;
    const std::string a = dir.file("a.csv") + ": U_C in V: ";
    // Neighbouring half cycles share the sample at the switch-over.
    for (const char* part : {"Laden 0,0 s bis 30,0 s: ", "Entladen 30,0 s bis 60,0 s: ", "Laden 60,0 s bis 90,0 s: ",
                             "Entladen 90,0 s bis 119,9 s: "})
        EXPECT_NE(out.find(a + part), std::string::npos) << part << "\n" << out;
    EXPECT_NE(out.find(dir.file("b.csv") + ": U_C (Entladen) in V: Entladen 0,0 s bis 29,9 s: \xCF\x84 = 4,"),
              std::string::npos)
        << out;
    for (double v : taus(out)) EXPECT_NEAR(v, 4.7, 0.1) << out;
}

TEST(NuktoolTau, FilesWithoutAUsableCurveExitWithOne) {
    TempDir dir;
    std::string flat = "t in s;U in V\r\n";
    for (int i = 0; i < 100; ++i) flat += number(i / 10.0, true) + ";5,000000\r\n";
    dir.write("flat.csv", flat);
    dir.write("empty.csv", "");
    dir.write("text.csv", "Das ist keine Messung.\n");
    dir.write("good.csv", oscilloscopeCsv(4.7, true));
    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {"flat.csv", "keine Lade- oder Entladekurve (Spannung konstant)"},
        {"empty.csv", "keine Zeilen"},
        {"text.csv", "keine Messwerttabelle"},
        {"missing.csv", "no such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string out;
        // The good file is still evaluated; the exit code reports the bad one.
        EXPECT_EQ(tool("tau '" + dir.file(c.file) + "' '" + dir.file("good.csv") + "' 2>&1", &out), 1);
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_EQ(taus(out).size(), 6u) << out;
    }
    std::string out;
    EXPECT_EQ(tool("tau '" + dir.file("flat.csv") + "' 2>&1", &out), 1);
    EXPECT_NE(out.find("no usable charging or discharging curve"), std::string::npos) << out;
}

TEST(NuktoolTau, BadUsageExitsWithTwo) {
    for (const char* args : {"tau", "tau --brief", "tau --fast x.csv"}) {
        std::string out;
        EXPECT_EQ(tool(std::string(args) + " 2>&1", &out), 2) << args;
    }
}

}  // namespace
