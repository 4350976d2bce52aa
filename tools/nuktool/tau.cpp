// nuktool tau: the time constants of a saved measurement (CSV), for grading a class's files.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "analysis/HalfCycleSplitter.h"
#include "analysis/MeasurementCsvReader.h"
#include "analysis/TauEvaluation.h"
#include "analysis/TauFormat.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace nuktool {
namespace {

const char* const tauUsage =
    "  nuktool tau [--brief] [--seconds|--samples] FILE.csv...\n"
    "                                            time constant of every charging and discharging\n"
    "                                            curve in each column: 63 % point, ln line, fit;\n"
    "                                            --brief: one line per curve; x is taken as seconds,\n"
    "                                            or as sample numbers (10 per second) when it counts\n"
    "                                            0, 1, 2, ... (the options decide instead)";

struct Options {
    bool brief = false;
    bool forced = false;
    XAxis axis = XAxis::seconds;
};

// A tagged text in UTF-8 for the terminal, its printf conversions filled with the values (UTF-8
// too): the translation is converted before the values go in.
std::string say(const char* tagged, ...) __attribute__((format(printf, 1, 2)));
std::string say(const char* tagged, ...) {
    const std::string format = SString(tagged).toUtf8();
    va_list args;
    va_start(args, tagged);
    SString text;
    text.formatV(format.c_str(), args);
    va_end(args);
    return text.str();
}

std::string columnName(const MeasurementTable& table, std::size_t column) {
    const std::string& name = table.headers[column];
    return table.headerUtf8 ? name : tauformat::utf8(SString(name));
}

std::string axisText(XAxis axis) {
    switch (axis) {
        case XAxis::seconds:
            return say(MSG("tauAxisSeconds", "x: Zeit in s"));
        case XAxis::samples:
            return say(MSG("tauAxisSamples", "x: Messpunkt-Nummern (10 je Sekunde)"));
        case XAxis::rows:
            return say(MSG("tauAxisRows", "x steigt nicht: Zeit aus der Zeilennummer (10 je Sekunde)"));
    }
    return {};
}

// Prints the file's curves; true when at least one of them gave a time constant.
bool evaluateFile(const std::string& path, const Options& options) {
    SMem bytes;
    std::string error;
    if (!readInput(path, bytes, error)) {
        failure("tau: " + error);
        return false;
    }
    MeasurementTable table;
    SString csvError;
    const std::string_view text(reinterpret_cast<const char*>(bytes.getData()), bytes.getSize());
    if (!MeasurementCsvReader::parse(text, table, csvError)) {
        failure("tau: '" + path + "': " + oneLine(csvError));
        return false;
    }
    const XAxis axis = options.forced ? options.axis : MeasurementCsvReader::detectXAxis(table.columns[0]);
    if (!options.brief)
        std::printf("%s\n",
                    say(MSG("tauFileLine", "%s: Trennzeichen \"%s\", %s, %s, %zu Zeilen"), path.c_str(),
                        table.separator == '\t' ? "Tab" : std::string(1, table.separator).c_str(),
                        table.decimalMark == ',' ? say(MSG("tauDecimalComma", "Dezimalkomma")).c_str()
                                                 : say(MSG("tauDecimalPoint", "Dezimalpunkt")).c_str(),
                        axisText(axis).c_str(), table.rows())
                        .c_str());

    bool usable = false;
    for (std::size_t column = 1; column < table.columns.size(); ++column) {
        const std::string name = columnName(table, column);
        const Curve curve = MeasurementCsvReader::curve(table, column, axis);
        const auto segments = splitHalfCycles(curve);
        if (segments.empty()) {
            const TauResult whole = evaluateHalfCycle(curve);
            std::string why = whole.any() ? std::string() : " (" + tauformat::utf8(whole.reason) + ")";
            const std::string none = say(MSG("tauNoCurve", "keine Lade- oder Entladekurve"));
            if (options.brief)
                std::printf("%s: %s: %s%s\n", path.c_str(), name.c_str(), none.c_str(), why.c_str());
            else
                std::printf("  %s: %s%s\n", name.c_str(), none.c_str(), why.c_str());
            continue;
        }
        for (const HalfCycleSegment& segment : segments) {
            const Curve part = segmentCurve(curve, segment);
            const TauResult r = evaluateHalfCycle(part, segment.kind);
            usable = usable || r.any();
            const std::string kind = segment.kind == HalfCycle::charging
                                         ? say(MSG("tauKindCharging", "Laden"))
                                         : say(MSG("tauKindDischarging", "Entladen"));
            const std::string span = tauformat::number(part.front().t, 1) +
                                     say(MSG("tauSpanTo", " s bis ")) +
                                     tauformat::number(part.back().t, 1) + " s";
            if (options.brief) {
                std::printf("%s: %s: %s %s: %s\n", path.c_str(), name.c_str(), kind.c_str(), span.c_str(),
                            tauformat::summary(r).c_str());
                continue;
            }
            std::printf("  %s: %s, %s %s\n", name.c_str(), kind.c_str(), span.c_str(),
                        say(MSG("tauSampleCount", "(%zu Werte)"), r.samples).c_str());
            if (!r.any()) {
                std::printf("    %s\n", tauformat::summary(r).c_str());
                continue;
            }
            std::printf("    %s\n    %s\n    %s\n", tauformat::fitLine(r).c_str(), tauformat::point63Line(r).c_str(),
                        tauformat::lnLine(r).c_str());
            if (r.skipped)
                std::printf("    %s\n",
                            say(MSG("tauSkipped", "(%zu Werte ohne Zahl ausgelassen)"), r.skipped).c_str());
        }
    }
    if (!usable) failure("tau: '" + path + "': no usable charging or discharging curve");
    return usable;
}

int tau(const Args& args) {
    Options options;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--brief") {
            options.brief = true;
        } else if (a == "--seconds" || a == "--samples") {
            options.forced = true;
            options.axis = a == "--seconds" ? XAxis::seconds : XAxis::samples;
        } else if (languagechoice::looksLikeOption(a)) {
            return usageError("tau: " + languagechoice::unknownOption(a));
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return expectedArguments("tau", "FILE.csv...");
    bool all = true;
    for (const std::string& file : files) {
        const bool ok = evaluateFile(file, options);
        all = all && ok;
        std::fflush(stdout);
    }
    return all ? 0 : 1;
}

const Registration tauRegistration({"tau", tauUsage, tau});

}  // namespace
}  // namespace nuktool
