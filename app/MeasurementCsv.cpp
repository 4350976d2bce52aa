#include "app/MeasurementCsv.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "foundation/SError.h"
#include "foundation/SFileSystem.h"
#include "platform/FileOps.h"

namespace {

// "%f" with a decimal comma. snprintf follows the C locale here, so "." is the separator.
void appendNumber(std::string& out, double value) {
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, "%f", value);
    const std::size_t length = n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1);
    for (std::size_t i = 0; i < length; ++i) out += buf[i] == '.' ? ',' : buf[i];
}

}  // namespace

SString MeasurementCsv::build(const std::vector<Curve>& curves) {
    if (curves.empty()) return SString();
    std::size_t rows = maxRows;
    for (const Curve& c : curves) rows = std::min(rows, c.values.size());

    std::string out = curves.front().xText.str();
    for (const Curve& c : curves) {
        out += ';';
        out += c.yText.str();
    }
    out += "\r\n";
    out.reserve(out.size() + rows * (curves.size() + 1) * 12);
    for (std::size_t r = 0; r < rows; ++r) {
        appendNumber(out, static_cast<double>(curves.front().values[r].first));
        for (const Curve& c : curves) {
            out += ';';
            appendNumber(out, static_cast<double>(c.values[r].second));
        }
        out += "\r\n";
    }
    return SString(std::move(out));
}

bool MeasurementCsv::write(const SString& fileName, const SString& content, int* errorCode, SString* error) {
    int code = 0;
    // Replacing renames over the old file, which would also replace a read-only one: a file the
    // user may not write keeps its content, as an ordinary write would refuse it.
    if (platform::pathExists(fileName.str()) && ::access(fileName.str().c_str(), W_OK) != 0)
        code = errno;
    else if (platform::replaceFileContent(fileName.str(), content.str(), &code))
        return true;
    if (errorCode) *errorCode = code;
    if (error)
        *error = SString("Fehler beim Schreiben der Datei '") + fileName + "'\r\n" + SError::systemErrorText(code);
    return false;
}

SString MeasurementCsv::proposedFileName(const SString& folder, std::time_t now) {
    char stamp[64] = {};
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H_%M_%S", &local);
    return SFileSystem::join(folder, SString(std::string("Messung ") + stamp + ".csv"));
}
