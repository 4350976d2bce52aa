#!/bin/sh
# Opens a measurement file (CSV, Windows-1252) in LibreOffice Calc, which is told how to read it,
# so the numbers arrive as numbers. The program writes two dialects: German (";" between cells,
# decimal commas) and English ("," between cells, decimal points); the file's first line tells
# which (the German one always holds a ";"). Without Calc the desktop's
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

# Import options of Calc's text filter: the field separator, text delimiter 34 ('"'), character
# set 1 (Windows-1252), reading from line 1, no column formats, and the language whose decimal
# mark the numbers use: 59 (";") with 1031 (German: ","), or 44 (",") with 1033 (English: ".").
first=''
IFS= read -r first <"$file" || true
case $first in
*';'*) filter='Text - txt - csv (StarCalc):59,34,1,1,,1031' ;;
*) filter='Text - txt - csv (StarCalc):44,34,1,1,,1033' ;;
esac
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
