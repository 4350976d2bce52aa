#include "analysis/MeasurementCsvReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

// Splits one line at the separator; a cell in double quotes may hold the separator, and ""
// inside quotes stands for one quote.
std::vector<std::string> splitCells(std::string_view line, char separator, std::size_t limit) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == separator && !quoted) {
            if (cells.size() == limit) break;
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A cell's number with "," or "." as decimal mark; NaN when the cell is empty or holds more
// than one number.
double number(std::string_view cell) {
    std::string text(trimmed(cell));
    if (text.empty() || text.size() > 64) return missing;
    if (text.find(',') != std::string::npos) {
        if (text.find('.') != std::string::npos) return missing;  // thousands separators are not ours
        std::replace(text.begin(), text.end(), ',', '.');
    }
    const char* first = text.data();
    if (*first == '+') ++first;
    double value = missing;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return missing;
    return value;
}

bool validUtf8(std::string_view s, bool& nonAscii) {
    nonAscii = false;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        if (extra == 9 || (extra == 1 && c < 0xC2) || i + extra >= s.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        if (extra) nonAscii = true;
        i += extra + 1;
    }
    return true;
}

}  // namespace

bool MeasurementCsvReader::parse(std::string_view text, MeasurementTable& table, SString& error) {
    table = MeasurementTable();
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!trimmed(line).empty()) lines.push_back(line);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
        if (lines.size() > maxRows) break;
    }
    if (lines.empty()) {
        error = "\xB3\xB3" "csvEmpty\xB3\xB3" "Die Datei enth\xE4lt keine Zeilen.";
        return false;
    }

    const std::string_view first = lines.front();
    table.separator = first.find(';') != std::string_view::npos    ? ';'
                      : first.find('\t') != std::string_view::npos ? '\t'
                                                                   : ',';
    std::vector<std::string> head = splitCells(first, table.separator, maxColumns);
    const bool hasHeader = std::any_of(head.begin(), head.end(), [](const std::string& cell) {
        return !trimmed(cell).empty() && std::isnan(number(cell));
    });
    std::size_t firstRow = hasHeader ? 1 : 0;
    std::size_t width = head.size();
    if (firstRow < lines.size())
        width = std::max(width, splitCells(lines[firstRow], table.separator, maxColumns).size());
    table.columns.assign(width, {});
    bool comma = false;
    for (std::size_t r = firstRow; r < lines.size() && r - firstRow < maxRows; ++r) {
        const std::vector<std::string> cells = splitCells(lines[r], table.separator, width);
        for (std::size_t c = 0; c < width; ++c) {
            const double value = c < cells.size() ? number(cells[c]) : missing;
            if (c < cells.size() && !std::isnan(value) && cells[c].find(',') != std::string::npos) comma = true;
            table.columns[c].push_back(value);
        }
    }
    table.decimalMark = comma ? ',' : '.';

    for (std::size_t c = 0; c < width; ++c) {
        std::string name = hasHeader && c < head.size() ? std::string(trimmed(head[c])) : std::string();
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        if (name.empty()) name = "Spalte " + std::to_string(c + 1);
        table.headers.push_back(name);
    }
    bool utf8 = false, nonAscii = false;
    for (const std::string& h : table.headers) {
        bool any = false;
        if (!validUtf8(h, any)) {
            utf8 = false;
            nonAscii = false;
            break;
        }
        nonAscii = nonAscii || any;
        utf8 = true;
    }
    table.headerUtf8 = utf8 && nonAscii;

    auto hasNumbers = [](const std::vector<double>& column) {
        return std::any_of(column.begin(), column.end(), [](double v) { return !std::isnan(v); });
    };
    if (width < 2 || table.rows() == 0 || !hasNumbers(table.columns[0]) ||
        !std::any_of(table.columns.begin() + 1, table.columns.end(), hasNumbers)) {
        error = "\xB3\xB3" "csvNoTable\xB3\xB3" "Die Datei enth\xE4lt keine Messwerttabelle "
                "(eine x-Spalte und mindestens eine Spalte mit Spannungen).";
        return false;
    }
    return true;
}

XAxis MeasurementCsvReader::detectXAxis(const std::vector<double>& x) {
    bool integers = true, consecutive = true;
    double previous = missing;
    std::size_t values = 0;
    for (double v : x) {
        if (std::isnan(v)) continue;
        if (!std::isfinite(v)) return XAxis::rows;
        if (!std::isnan(previous)) {
            if (!(v > previous)) return XAxis::rows;
            if (v - previous != 1.0) consecutive = false;
        }
        if (v != std::floor(v)) integers = false;
        previous = v;
        ++values;
    }
    if (values == 0) return XAxis::rows;
    return integers && consecutive && values > 1 ? XAxis::samples : XAxis::seconds;
}

Curve MeasurementCsvReader::curve(const MeasurementTable& table, std::size_t column, XAxis axis,
                                  double sampleRate) {
    Curve c;
    if (column == 0 || column >= table.columns.size()) return c;
    const std::vector<double>& x = table.columns[0];
    const std::vector<double>& u = table.columns[column];
    c.reserve(u.size());
    for (std::size_t r = 0; r < u.size(); ++r) {
        double t = axis == XAxis::seconds  ? x[r]
                   : axis == XAxis::samples ? x[r] / sampleRate
                                            : static_cast<double>(r) / sampleRate;
        c.push_back({t, u[r]});
    }
    return c;
}
