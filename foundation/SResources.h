// The resource manager: where on disk the resource file of a given name lies, the colours and
// control styles, and the language files.
#pragma once

#include <memory>

#include "foundation/SLists.h"
#include "foundation/SMaps.h"
#include "foundation/SString.h"

class SFileIni;
class SResourceArchive;

// A shipped program carries its resource files in an archive appended to its executable; init
// unpacks it into a fresh private temporary directory and every lookup answers a path there.
// Without an archive (during development) the files are searched in the resource folders beside
// the executable, and every file found there is recorded in "resource.ini" (section
// "usedResources"), so the set of files to bind into the archive is known.
class SResources : public SObject {
public:
    S_CLASSNAME(SResources)

    // The application directory and executable path default to the running program's.
    SResources();
    // Removes the unpacked files and their directory; without an archive writes "resource.ini"
    // back.
    ~SResources() override;
    SResources(const SResources&) = delete;
    SResources& operator=(const SResources&) = delete;

    // Set by the application start-up before init.
    void setApplicationDirectory(const SString& directory);
    void setExecutablePath(const SString& path);
    const SString& getApplicationDirectory() const { return applicationDirectory_; }
    const SString& getExecutablePath() const { return executablePath_; }

    // Unpacks the executable's archive (unless the program's marker switches that off),
    // prepares the resource folders and INI files and fills the colours and styles.
    void init();
    // Unpacks the archive a reader was opened on; init calls it with the executable file.
    // Failures show one message box and leave no directory behind.
    bool loadArchive(SResourceArchive& archive);

    // Full path of the resource file of that name; empty when there is none.
    SString getFile(const SString& name);
    // A colour ("#rrggbb") or control style; empty when absent.
    SString getStyle(const SString& name);
    // Loads the language files "*_<language>.lng" into the global language table.
    void loadLanguage(const SString& language);

    bool isInitialised() const { return initialised_; }
    bool isExtracted() const { return extracted_; }
    const SString& getTempDirectory() const { return tempDirectory_; }
    const SMapStringToString& getFileMap() const { return fileMap_; }
    const SStringList& getSearchPaths() const { return searchPaths_; }
    // Adds a folder searched after the others (a program without archive looks there too).
    void addSearchPath(const SString& path) { searchPaths_.add(path); }
    const SMapStringToString& getStyleMap() const { return styleMap_; }
    const SString& getLanguage() const { return language_; }
    // The INI files opened by init (nullptr before).
    SFileIni* getResourceIni() { return resourceIni_.get(); }
    SFileIni* getControlPosIni() { return controlPosIni_.get(); }

    // Replaces every "{{name}}" in the value by the style map's entry of that name.
    SString substitute(const SString& value) const;

private:
    // Opens one of the two INI files found by getFile; shows the failure text and the path.
    std::unique_ptr<SFileIni> openIni(const char* name, const char* failureText);
    void loadStyles();
    void setStyles(const SString& section);
    bool createTempDirectory();
    void removeUnpacked();
    void showBeforeInit(const char* function, const SString& name, const char* comma) const;

    bool extracted_ = false;
    bool initialised_ = false;
    SString applicationDirectory_;
    SString executablePath_;
    SString tempDirectory_;
    SMapStringToString fileMap_;
    // Every file written while unpacking (names that differ only in case give two files).
    SStringList unpackedFiles_;
    SStringList searchPaths_;
    SMapStringToString styleMap_;
    SString language_;
    std::unique_ptr<SFileIni> resourceIni_;
    std::unique_ptr<SFileIni> controlPosIni_;
};

SResources& globalResources();
