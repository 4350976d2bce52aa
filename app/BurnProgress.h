// How a firmware burn's progress reports appear in the page "Vorbereitung".
#pragma once

#include "foundation/SString.h"

class BurnProgress {
public:
    // The codes of a progress report (event type 10000).
    enum Code { codeError = 0, codeDone = 1, codeState = 2, codeBurning = 3, codeOutput = 10000 };

    // The programmer's output as page text: the characters that HTML would take as markup become
    // entities first, then each "\r\n" becomes "<br>" and each blank "&nbsp;", so the output
    // keeps its line breaks and columns and never becomes markup.
    static SString outputHtml(const SString& text);
    // The text of the state element for a state report (codes 0 to 3): "FEHLER: ", "Fertig, ",
    // the text, "brenne ". False for other codes. The programmer's machine-readable progress
    // lines ("flash|write|1024|8192", "lfuse|ok") are shown in words, so a pupil reads
    // "Flash schreiben: 1024 von 8192 Bytes (12 %)" instead of the raw line.
    static SString readableProgress(const SString& text);
    static bool stateText(int code, const SString& text, SString& out);
};
