#include "app/MeasurementCsv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/SError.h"
#include "foundation/SFileSystem.h"
#include "platform/FileOps.h"
#include "platform/FileStatus.h"

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

namespace {

// "%f", with a decimal comma when asked. snprintf follows the C locale here, so "." is the
// separator it writes.
void appendNumber(std::string& out, double value, char decimalMark) {
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, "%f", value);
    const std::size_t length = n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1);
    for (std::size_t i = 0; i < length; ++i) out += buf[i] == '.' ? decimalMark : buf[i];
}

// A caption for the comma format: quoted when it holds the separator or a quote.
void appendCaption(std::string& out, const std::string& caption, bool comma) {
    if (!comma || caption.find_first_of(",\"") == std::string::npos) {
        out += caption;
        return;
    }
    out += '"';
    for (char c : caption) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

bool MeasurementCsv::isSampleNumbers(const std::vector<std::pair<double, float>>& values) {
    if (values.size() < 2) return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = values[i].first;
        if (x != std::floor(x)) return false;
        if (i > 0 && x - values[i - 1].first != 1.0) return false;
    }
    return true;
}

SString MeasurementCsv::build(const std::vector<Curve>& curves, Format format, double secondsPerSample) {
    if (curves.empty()) return SString();
    // Every sample shown is written: as many rows as the longest curve has, with an empty cell
    // where a curve has no value (a charging curve stopped early beside an empty discharging
    // one). The x of a row comes from the first curve that has the row.
    std::size_t rows = 0;
    const Curve* longest = &curves.front();
    for (const Curve& c : curves) {
        if (c.values.size() > longest->values.size()) longest = &c;
        rows = std::max(rows, c.values.size());
    }
    rows = std::min(rows, maxRows);
    const bool comma = format == Format::commaPoint;
    const char separator = comma ? ',' : ';';
    const char decimalMark = comma ? '.' : ',';
    const bool timeColumn = isSampleNumbers(longest->values);

    std::string out;
    appendCaption(out, curves.front().xText.str(), comma);
    if (timeColumn) {
        out += separator;
        out += timeCaption;
    }
    for (const Curve& c : curves) {
        out += separator;
        appendCaption(out, c.yText.str(), comma);
    }
    out += "\r\n";
    out.reserve(out.size() + rows * (curves.size() + 2) * 12);
    for (std::size_t r = 0; r < rows; ++r) {
        const Curve* withRow = &curves.front();
        for (const Curve& c : curves) {
            if (r < c.values.size()) {
                withRow = &c;
                break;
            }
        }
        const double x = withRow->values[r].first;
        appendNumber(out, x, decimalMark);
        if (timeColumn) {
            out += separator;
            appendNumber(out, x * secondsPerSample, decimalMark);
        }
        for (const Curve& c : curves) {
            out += separator;
            if (r < c.values.size()) appendNumber(out, static_cast<double>(c.values[r].second), decimalMark);
        }
        out += "\r\n";
    }
    return SString(std::move(out));
}

bool MeasurementCsv::write(const SString& fileName, const SString& content, int* errorCode, SString* error) {
    int code = 0;
    // Replacing renames over the old file, which would also replace a read-only one: a file the
    // user may not write keeps its content, as an ordinary write would refuse it.
    const int denied = platform::pathExists(fileName.str()) ? platform::writeAccessError(fileName.str()) : 0;
    if (denied != 0)
        code = denied;
    else if (platform::replaceFileContent(fileName.str(), content.str(), &code))
        return true;
    if (errorCode) *errorCode = code;
    if (error)
        *error = SString(MSG("csvWriteFile", "Fehler beim Schreiben der Datei '")) + fileName + "'\r\n" +
                 SError::systemErrorText(code);
    return false;
}

SString MeasurementCsv::proposedFileName(const SString& folder, std::time_t now) {
    return proposedFileName(folder, now, SString("\xB3\xB3" "csvFileName\xB3\xB3" "Messung"), "csv");
}

SString MeasurementCsv::proposedFileName(const SString& folder, std::time_t now, const SString& name,
                                         const char* extension) {
    char stamp[64] = {};
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H_%M_%S", &local);
    return SFileSystem::join(folder, SString(name.str() + " " + stamp + "." + extension));
}
