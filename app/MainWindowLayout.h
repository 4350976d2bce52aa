// The panes of the experiment's main window, as the split-pane layout describes them.
#pragma once

// The title over the rest, which is the progress pane beside the content pages as cards: the
// nine pupils' pages and the teacher's page "Lehrkraft", which no pupil's page links to and the
// progress pane does not list (the teacher opens it with "--page Lehrkraft").
// Tabs separate the elements; "Durchf\xFChrung" is Windows-1252. Header-only, so the tests of
// the XML reader and of the layout read the same text the program builds its window from.
inline constexpr const char* mainWindowLayout =
    "<MultiWindow>\t<Splitter direction='v'>\t\t<Window name='Titel' size='100' />"
    "\t\t<Splitter name='unten' size='*' direction='h'>\t\t\t<Window name='Projektverlauf' size='130' />"
    "\t\t\t<Splitter name='inhalt' size='*' direction='c'>\t\t\t\t<Window name='Einleitung' size='*' />"
    "\t\t\t\t<Window name='Bauformen' size='*' />\t\t\t\t<Window name='Anwendungen' size='*' />"
    "\t\t\t\t<Window name='Vorbetrachtungen' size='*' />\t\t\t\t<Window name='Schaltung' size='*' />"
    "\t\t\t\t<Window name='Aufgaben' size='*' />\t\t\t\t<Window name='Vorbereitung' size='*' />"
    "\t\t\t\t<Window name='Durchf\xFChrung' size='*' />\t\t\t\t<Window name='Auswertung' size='*' />"
    "\t\t\t\t<Window name='Lehrkraft' size='*' />"
    "\t\t\t</Splitter>\t\t</Splitter>\t</Splitter></MultiWindow>";
