// The program's global objects, in the order in which they come to life:
//   1 SError, 2 SLanguage, 3 SDebug, 4 SApplicationBasic, 5 SResources, 6 SColorMap,
//   7 SApplication, 8 STimer list, 9 AvrMcuXml, 10 AvrBoardXml, 11 Fenster.
// Each library object sits behind its accessor; the first object here calls the accessors in
// that order during static initialisation, and the main window follows it in this file. The
// process destroys them in reverse order: the main window first, the error log last.
#include "app/Globals.h"

#include "app/Fenster.h"
#include "board/AvrMcuXml.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "foundation/STimer.h"
#include "gui/SApplication.h"
#include "gui/SColorMap.h"

namespace {

struct GlobalObjects {
    GlobalObjects() {
        globalError();
        globalLanguage();
        globalDebug();
        globalApplicationBasic();
        globalResources();
        globalColorMap();
        globalApplication();
        globalTimer();
        globalAvrMcuXml();
        globalAvrBoardXml();
    }
};

GlobalObjects globalObjects;

// The first window object: the application takes it as its main window.
Fenster fenster;

}  // namespace

Fenster& globalFenster() {
    return fenster;
}
