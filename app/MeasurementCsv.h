// The measurement as a CSV file for a German spreadsheet: ";" between cells, decimal commas,
// CR LF line ends, Windows-1252 captions.
#pragma once

#include <ctime>
#include <utility>
#include <vector>

#include "foundation/SString.h"

class MeasurementCsv {
public:
    // One oscilloscope's curve as the export reads it: the axis captions and its samples (x, y).
    // x is double: a time n x step keeps its digits in the sixth decimal at any n.
    struct Curve {
        SString xText;
        SString yText;
        std::vector<std::pair<double, float>> values;
    };

    // The file's dialect: for a German spreadsheet (";" and decimal comma, the program's own), or
    // for international ones ("," and decimal point).
    enum class Format { semicolonComma, commaPoint };

    // The most rows a file gets.
    static constexpr std::size_t maxRows = 1000000;
    // The caption of the time column added beside sample numbers.
    static constexpr const char* timeCaption = "t in s";

    // The header "x caption;y caption 1;y caption 2..." and one row per sample of the longest
    // curve: the x of the first curve that has the row, then each curve's y, as "%f" with ","
    // for ".", or an empty cell where a curve has no value for the row. Captions are
    // written as they are (a ";" in one shifts the columns; nothing is quoted).
    // In the comma format the cells are separated by "," and the numbers keep their ".";
    // a caption with a "," or a quote is quoted, so the columns stay.
    // When the x values (of the longest curve) are sample numbers (0, 1, 2, ... as the x axis of
    // an oscilloscope that counts samples), a column "t in s" with the time in seconds follows
    // the x column: sample number x secondsPerSample.
    static SString build(const std::vector<Curve>& curves, Format format, double secondsPerSample);
    // True when the x values are consecutive whole numbers (at least two of them).
    static bool isSampleNumbers(const std::vector<std::pair<double, float>>& values);

    // Writes the content so that an existing file is never lost: the bytes go to a new file
    // beside it, which then replaces it. A file that may not be written (read-only) stays as
    // it is. On failure errorCode gets the system's code and error a German text.
    static bool write(const SString& fileName, const SString& content, int* errorCode = nullptr,
                      SString* error = nullptr);

    // The file name the save dialog proposes: "<folder>/Messung 2011-04-19 13_38_17.csv" with
    // the local time ("Measurement ..." in English).
    static SString proposedFileName(const SString& folder, std::time_t now);
    // The same with another name before the time and another extension ("png").
    static SString proposedFileName(const SString& folder, std::time_t now, const SString& name,
                                    const char* extension);
};
