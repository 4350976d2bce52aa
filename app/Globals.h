// The program's global objects.
#pragma once

class Fenster;

// The main window, constructed with the other global objects before the entry function runs.
Fenster& globalFenster();
