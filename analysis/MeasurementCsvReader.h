// Reading a saved measurement: the program's CSV file (";" and decimal comma) or the variant for
// international spreadsheets ("," and decimal point), or what a spreadsheet wrote back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Curve.h"
#include "foundation/SString.h"

// A measurement table: column 0 is the x axis, the others are voltages.
struct MeasurementTable {
    // The column captions as the file has them (Windows-1252, or UTF-8 when headerUtf8);
    // "Spalte N" for a file without a caption line.
    std::vector<std::string> headers;
    bool headerUtf8 = false;
    // One vector per column, all of the same length; NaN where a cell is empty or not a number.
    std::vector<std::vector<double>> columns;
    char separator = ';';
    char decimalMark = ',';

    std::size_t rows() const { return columns.empty() ? 0 : columns.front().size(); }
};

// How the x column counts: seconds, sample numbers at the board's rate, or (when it does not
// rise) nothing usable, so the row number counts instead.
enum class XAxis { seconds, samples, rows };

class MeasurementCsvReader {
public:
    // More columns are not read: the program writes one per oscilloscope.
    static constexpr std::size_t maxColumns = 64;
    // The program writes at most this many rows.
    static constexpr std::size_t maxRows = 1000000;

    // Reads the text of a CSV file. The separator is ";" when the first line has one, else a
    // tab when it has one, else ","; a cell's decimal mark is "," or "." (with the separator
    // "," a decimal comma needs quotes). Line ends may be CR LF, LF or CR; empty lines are
    // skipped; a UTF-8 byte order mark is ignored. False, with a German message, when the text
    // holds no table of at least two columns and one row of numbers.
    static bool parse(std::string_view text, MeasurementTable& table, SString& error);

    // Sample numbers are consecutive integers (0, 1, 2, ...); anything else that rises is
    // seconds; an x column that does not rise everywhere gives XAxis::rows.
    static XAxis detectXAxis(const std::vector<double>& x);

    // The curve of a voltage column over time in seconds (samples and rows at sampleRate).
    static Curve curve(const MeasurementTable& table, std::size_t column, XAxis axis, double sampleRate = 10.0);
};
