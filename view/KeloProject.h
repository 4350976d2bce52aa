// The project as the main window sees it: the project data and the diagram windows.
#pragma once

#include <cstdint>
#include <memory>

#include "view/KeloProjectData.h"
#include "view/UniedViewWindow.h"

class KeloPainter;

class KeloProject : public SObject {
public:
    S_CLASSNAME(KeloProject)

    static constexpr uint32_t diagramBackground = 0x00FFFFFF;

    KeloProject() = default;
    ~KeloProject() override;
    KeloProject(const KeloProject&) = delete;
    KeloProject& operator=(const KeloProject&) = delete;

    // Opens the repository ("ini:" + path) after onProjectOpen; on failure closes the project
    // again.
    bool openProject(const SString& spec);
    // Removes every diagram window, closes the repository, then onProjectClose.
    void closeProject();
    // Reads the repository again and reloads every diagram window's diagram, then
    // onProjectReloaded. The diagrams are emptied before the repository goes, since their
    // objects point into it.
    bool reloadProject(const SString& spec);

    // Appends a diagram window showing diagram objNr (white background) and lets
    // onCreateViewHost make its toolkit window. False when the diagram could not be loaded.
    bool createDiagrammWindow(int32_t objNr, int x, int y, int width, int height, bool visible);

    KeloProjectData& getProjectData() { return data_; }
    UniedViewWindowList& getViewWindows() { return windows_; }
    // The first diagram window, or nullptr.
    UniedViewWindow* getFirstViewWindow() const;
    // The painter of the object with that number in the first diagram, or nullptr.
    KeloPainter* findPainter(int32_t objNr) const;
    // Sends an application event (type 2) with that code to the object's painter; false when
    // the object does not exist.
    bool sendToObject(int32_t objNr, int32_t code);

protected:
    // Before the repository is read (the main window sets up the data channels here).
    virtual bool onProjectOpen() { return true; }
    // After the project was closed.
    virtual bool onProjectClose() { return true; }
    // Before closing removes the diagram windows.
    virtual void onCloseViewWindows() {}
    // After a reload: the diagrams show the reloaded repository's painters.
    virtual void onProjectReloaded() {}
    // The toolkit window of a new diagram window; the base makes none (a diagram that is not
    // shown).
    virtual std::unique_ptr<ViewHostWindow> onCreateViewHost(UniedViewWindow& window, int x, int y, int width,
                                                             int height, bool visible) {
        (void)window;
        (void)x;
        (void)y;
        (void)width;
        (void)height;
        (void)visible;
        return nullptr;
    }

private:
    KeloProjectData data_;
    UniedViewWindowList windows_;
};
