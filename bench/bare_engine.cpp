// The yardstick of the start-up benchmark: the experiment's pages in plain QWebEngineViews,
// with nothing of the program around them. A QMainWindow of 1000x730 holds the title pane over
// the progress pane beside the content pages as cards (a stacked widget, the introduction
// shown), split as the experiment's layout splits them; every page is the HTML file of the
// source tree's resources/ folder, loaded from disk by its file:// address.
//
// The window is shown first and the views are made and sent to their pages right after (a zero
// timer): the first view shown or given a page starts the browser engine, which takes longer
// than everything else before the window. --views-first makes and loads them before the window
// is shown instead, as a program does that builds its whole window first.
//
// With NUK_STARTUP_PROBE=1 it reports as the experiment's probe does (app/StartupProbe.h), from
// the same figures (platform/ProcessInfo.h), then quits:
//   startup: window=<s> s            the main window is shown, its pages loading
//   startup: einleitung=<s> s        the introduction has loaded and is visible
//   startup: all=<s> s rss=<kB> kB browser_rss=<kB> kB
// Without it the window stays open until it is closed.
//
//   bare_engine [--resources DIR] [--language de|en] [--views-first]
//     DIR: the folder of the pages (default: the source tree's resources/);
//     en: the English pages ("wnd<name>_en.htm") where there are some.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "platform/ProcessInfo.h"

#ifndef NUK_SOURCE_DIR
#define NUK_SOURCE_DIR "."
#endif

namespace {

// The HTML panes of the experiment's window: the title, the progress pane, then the content
// cards in the layout's order (the measurement's card is the diagram, not a page).
const char* const titlePage = "titel";
const char* const progressPage = "projektverlauf";
const char* const contentPages[] = {"einleitung",   "bauformen", "anwendungen", "vorbetrachtungen", "schaltung",
                                    "aufgaben",     "vorbereitung", "auswertung", "lehrkraft"};
// The card shown first, as the experiment opens on it.
const char* const startPage = "einleitung";

bool probeRequested() {
    const char* value = std::getenv("NUK_STARTUP_PROBE");
    return value && *value && std::strcmp(value, "0") != 0;
}

struct Pane {
    QWebEngineView* view = nullptr;
    std::string name;
    bool loaded = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::string resources = NUK_SOURCE_DIR "/resources";
    std::string language = "de";
    bool viewsFirst = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--resources" && i + 1 < argc) {
            resources = argv[++i];
        } else if (arg == "--language" && i + 1 < argc) {
            language = argv[++i];
        } else if (arg == "--views-first") {
            viewsFirst = true;
        } else if (arg == "--help") {
            std::printf("usage: bare_engine [--resources DIR] [--language de|en] [--views-first]\n");
            return 0;
        } else {
            std::fprintf(stderr, "bare_engine: unknown argument '%s'\n", arg.c_str());
            return 2;
        }
    }
    QApplication app(argc, argv);

    // Every pane, in the layout's order; reserved, so the entries never move.
    const std::size_t paneCount = 2 + std::size(contentPages);
    std::vector<Pane> panes;
    panes.reserve(paneCount);
    auto page = [&](const char* name, QWidget* placeholder) {
        std::string file = resources + "/wnd" + name + ".htm";
        if (language != "de") {
            const std::string own = resources + "/wnd" + name + "_" + language + ".htm";
            if (QFileInfo::exists(QString::fromStdString(own))) file = own;
        }
        auto* view = new QWebEngineView(placeholder);
        auto* fill = new QVBoxLayout(placeholder);
        fill->setContentsMargins(0, 0, 0, 0);
        fill->addWidget(view);
        Pane& pane = panes.emplace_back(Pane{view, name, false});
        QObject::connect(view, &QWebEngineView::loadFinished, view, [&pane](bool ok) {
            if (ok) pane.loaded = true;
        });
        view->setUrl(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(file)).absoluteFilePath()));
    };

    // The layout with an empty widget for each page; the views go into them.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare_engine"));
    window.resize(1000, 730);
    auto* rows = new QSplitter(Qt::Vertical);
    auto* title = new QWidget(rows);
    auto* lower = new QSplitter(Qt::Horizontal, rows);
    auto* progress = new QWidget(lower);
    auto* cards = new QStackedWidget(lower);
    std::vector<QWidget*> contents;
    for (const char* name : contentPages) {
        contents.push_back(new QWidget(cards));
        cards->addWidget(contents.back());
        if (std::strcmp(name, startPage) == 0) cards->setCurrentWidget(contents.back());
    }
    rows->setSizes({100, 630});
    lower->setSizes({130, 870});
    window.setCentralWidget(rows);
    auto makeViews = [&] {
        page(titlePage, title);
        page(progressPage, progress);
        for (std::size_t i = 0; i < contents.size(); ++i) page(contentPages[i], contents[i]);
    };
    if (viewsFirst) makeViews();
    window.show();
    if (!viewsFirst) QTimer::singleShot(0, &window, makeViews);
    if (!probeRequested()) return QApplication::exec();

    std::printf("startup: window=%.3f s\n", platform::secondsSinceProcessStart());
    std::fflush(stdout);
    // Polled every 2 ms, as the experiment's probe polls.
    bool firstReported = false;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (!firstReported) {
            for (const Pane& pane : panes)
                if (pane.name == startPage && pane.loaded && pane.view->isVisible()) firstReported = true;
            if (!firstReported) return;
            std::printf("startup: %s=%.3f s\n", startPage, platform::secondsSinceProcessStart());
            std::fflush(stdout);
        }
        if (panes.size() != paneCount) return;
        for (const Pane& pane : panes)
            if (!pane.loaded) return;
        poll.stop();
        const int self = platform::currentProcessId();
        std::printf("startup: all=%.3f s rss=%lld kB browser_rss=%lld kB\n", platform::secondsSinceProcessStart(),
                    static_cast<long long>(platform::residentKb(self)),
                    static_cast<long long>(platform::descendantsResidentKb(self)));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll.start();
    return QApplication::exec();
}
