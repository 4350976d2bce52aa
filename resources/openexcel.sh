#!/bin/sh
# Opens a measurement file (CSV: ";" between cells, decimal commas, Windows-1252) in LibreOffice
# Calc, which is told how to read it, so the numbers arrive as numbers. Without Calc the desktop's
# program for CSV files opens it. The program is started in the background; the script returns
# at once. Exit code: 0 started, 1 no readable file, 2 wrong call, 127 no program to open it.
if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "Aufruf: openexcel.sh DATEI.csv" >&2
    exit 2
fi
file=$1
if [ ! -r "$file" ]; then
    echo "openexcel.sh: Die Datei '$file' kann nicht gelesen werden." >&2
    exit 1
fi

# Import options of Calc's text filter: field separator 59 (";"), text delimiter 34 ('"'),
# character set 1 (Windows-1252), reading from line 1, no column formats, language 1031
# (German: "," is the decimal separator).
filter='Text - txt - csv (StarCalc):59,34,1,1,,1031'
for calc in libreoffice soffice localc; do
    if command -v "$calc" >/dev/null 2>&1; then
        nohup "$calc" --infilter="$filter" "$file" >/dev/null 2>&1 &
        exit 0
    fi
done
if command -v xdg-open >/dev/null 2>&1; then
    exec xdg-open "$file"
fi
echo "openexcel.sh: Weder LibreOffice Calc noch xdg-open ist installiert." >&2
exit 127
