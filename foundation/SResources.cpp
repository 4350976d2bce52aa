#include "foundation/SResources.h"

#include <cerrno>

#include "foundation/SDebug.h"
#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileFind.h"
#include "foundation/SFileIni.h"
#include "foundation/SFileSystem.h"
#include "foundation/SLanguage.h"
#include "foundation/SResourceArchive.h"
#include "foundation/STime.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"

SResources& globalResources() {
    static SResources resources;
    return resources;
}

namespace {

const char* const loadFailure = "Fehler beim Lesen der Resourcen.\r\n";
const char* const developmentFolder = "NUK-Resourcen";

// Gives up on the temporary directory after this many names were taken.
constexpr int maximumTempAttempts = 10000;

bool isFile(const SString& path) {
    return SFileSystem::exists(path) && !SFileSystem::isDirectory(path);
}

// The file of that name in a folder, matched without regard to letter case as the file
// systems the resource names were made for do ("wndTitel.htm" finds "wndtitel.htm"); the
// exact name wins. Empty when there is none.
SString findFileNoCase(const SString& dir, const SString& name) {
    SString path = SFileSystem::join(dir, name);
    if (isFile(path)) return path;
    if (name.find('/') >= 0 || name.find('\\') >= 0) return {};
    for (const platform::DirEntry& entry : platform::listDirectory(dir.str(), "*")) {
        if (entry.directory || SString(entry.name).compareNoCase(name) != 0) continue;
        path = SFileSystem::join(dir, SString(entry.name));
        if (isFile(path)) return path;
    }
    return {};
}

struct NamedValue {
    const char* key;
    const char* value;
};

const NamedValue defaultColours[] = {
    {"nuk_color_win_back", "#8c8ca0"},     {"nuk_color_win_back_contrast", "#505082"},
    {"nuk_color_ctrl_border1", "#464650"}, {"nuk_color_ctrl_border2", "#ffffff"},
    {"nuk_color_ctrl_text", "#ffffff"},    {"nuk_color_input_text", "#000000"},
    {"nuk_color_input_back", "#2d2df0"},
};

const NamedValue defaultStyles[] = {
    {"SButton-form", "7,7"},
    {"SButton-normal",
     "{{nuk_color_win_back}},{{nuk_color_ctrl_border1}},{{nuk_color_ctrl_border2}},{{nuk_color_ctrl_text}}"},
    {"SButton-selected", "{{nuk_color_win_back_contrast}},{{nuk_color_ctrl_border1}},#a0a0ff,#a0a0ff"},
    {"SButton-mouseover", "{{nuk_color_win_back}},{{nuk_color_ctrl_border1}},#a0ffa0,#a0ffa0"},
    {"SButton-disabled", "{{nuk_color_win_back}},#888899,#bbbbcc,#4c4c6c"},
};

}  // namespace

SResources::SResources() {
    // The destructor still writes files and texts, so the error log, the language table and
    // the debug channel must exist before this object and go after it.
    globalError();
    globalLanguage();
    globalDebug();
    SString exe(platform::executablePath());
    setExecutablePath(exe);
    SString dir;
    SFileSystem::splitPath(exe, nullptr, &dir, nullptr, nullptr);
    if (dir.getLength() > 1 && dir.str().back() == platform::pathSeparator)
        dir = dir.left(dir.getLength() - 1);
    setApplicationDirectory(dir);
}

SResources::~SResources() {
    if (extracted_) {
        // The INI files live in the directory about to be removed.
        resourceIni_.reset();
        controlPosIni_.reset();
        removeUnpacked();
        return;
    }
    // This is how the record of used resources persists.
    if (resourceIni_ && resourceIni_->isModified() && !resourceIni_->isReadOnly()) resourceIni_->save();
}

void SResources::setApplicationDirectory(const SString& directory) {
    applicationDirectory_ = directory;
}

void SResources::setExecutablePath(const SString& path) {
    executablePath_ = path;
}

void SResources::init() {
    if (extracted_) removeUnpacked();
    resourceIni_.reset();
    controlPosIni_.reset();
    searchPaths_.removeAll();
    styleMap_.removeAll();
    initialised_ = true;

    if (!SResourceArchive::isLookupEnabled()) {
        globalDebug().print("SResources::init() die Suche nach Ressourcen im Programm ist abgeschaltet");
    } else {
        SResourceArchive archive;
        if (archive.openFile(executablePath_))
            loadArchive(archive);
        else
            globalDebug().print(SString("SResources::init() ") + archive.getError());
    }

    const SString folder = SFileSystem::join(applicationDirectory_, developmentFolder);
    if (!extracted_) {
        // Failures here are reported below, when resource.ini cannot be used.
        if (!SFileSystem::isDirectory(folder)) SFileSystem::createDirectory(folder, true);
        SString error;
        SString controlPos = SFileSystem::join(folder, "controlpos.ini");
        if (!SFileSystem::exists(controlPos)) SFile::writeFile(controlPos, "\r\n", &error);
        SString resource = SFileSystem::join(folder, "resource.ini");
        if (!SFileSystem::exists(resource)) SFile::writeFile(resource, "[StandardResourcePath]\r\n", &error);
    }
    searchPaths_.add(folder);

    resourceIni_ = openIni("resource.ini", "Fehler: resource.ini konnte nicht verwendet werden.\r\n");
    if (resourceIni_) {
        SStringList keys, values;
        resourceIni_->getSectionEntries("StandardResourcePath", keys, values);
        for (const SString& value : values)
            if (!value.isEmpty()) searchPaths_.add(value);
    }
    controlPosIni_ = openIni("controlpos.ini", "Fehler: controlpos.ini konnte nicht verwendet werden.\r\n");
    loadStyles();
}

std::unique_ptr<SFileIni> SResources::openIni(const char* name, const char* failureText) {
    SString path = getFile(name);
    // Writable when it can be opened for writing; otherwise it is only read.
    bool readOnly = true;
    {
        SFile probe;
        if (!path.isEmpty() && probe.open(path, "r+b", true)) readOnly = false;
    }
    auto ini = std::make_unique<SFileIni>();
    if (path.isEmpty() || !ini->open(path, false, readOnly)) {
        globalError().showMessage(SString(failureText) + path);
        return nullptr;
    }
    return ini;
}

bool SResources::createTempDirectory() {
    const SString base = SFileSystem::getTempPath();
    const auto now = static_cast<long long>(STime::now().getSeconds());
    // A private directory created atomically: a name that exists already, even one prepared by
    // somebody else, is never used.
    for (int n = 0; n < maximumTempAttempts; ++n) {
        SString path = SString::printf("%s_tmpNukRes%d_%lld", base.c_str(), n, now);
        int err = 0;
        if (platform::createPrivateDirectory(path.str(), &err)) {
            tempDirectory_ = path;
            return true;
        }
        if (err != EEXIST) break;
    }
    return false;
}

bool SResources::loadArchive(SResourceArchive& archive) {
    if (extracted_) removeUnpacked();
    if (!archive.locate()) {
        // A program without an archive is the normal case during development.
        globalDebug().print(SString("SResources::loadArchive(..) ") + archive.getError());
        return false;
    }
    SString reason;
    SStringList written;
    SMapStringToString files;
    bool ok = createTempDirectory();
    if (!ok) {
        reason =
            SString("Fehler beim Anlegen des Verzeichnisses: ") + SFileSystem::getTempPath() + "_tmpNukRes";
    } else {
        ok = archive.extractTo(tempDirectory_, written, [&files](const SString& name, const SString& path) {
            files.set(name.lowered(), path);
        });
        if (!ok) {
            reason = archive.getError();
            for (const SString& path : written) SFileSystem::deleteFile(path, true);
            SFileSystem::removeDirectory(tempDirectory_, true);
            tempDirectory_.clear();
        }
    }
    if (!ok) {
        globalError().showMessage(SString(loadFailure) + reason);
        return false;
    }
    fileMap_ = files;
    unpackedFiles_ = written;
    extracted_ = true;
    if (archive.getTrailingBytes() > 0) {
        globalError().showMessage(
            SString(loadFailure) +
            SString::printf("Die Datei ist um %lld Byte zu gro\xDF, Ursache kann ein Virenbefall sein.",
                            static_cast<long long>(archive.getTrailingBytes())));
    }
    return true;
}

void SResources::removeUnpacked() {
    for (const SString& path : unpackedFiles_) SFileSystem::deleteFile(path, true);
    if (!tempDirectory_.isEmpty()) SFileSystem::removeDirectory(tempDirectory_, true);
    unpackedFiles_.removeAll();
    fileMap_.removeAll();
    tempDirectory_.clear();
    extracted_ = false;
}

void SResources::showBeforeInit(const char* function, const SString& name, const char* comma) const {
    globalError().showMessage(SString("Die Funktion SResources::") + function + "(\"" + name +
                              "\") kann erst nach der Initialisierung des globalResources-Objektes verwendet "
                              "werden.\r\nSie sollten sie z.B. nicht im Konstrukor des Main-Fensters" +
                              comma + " sondern besser in onPreCreateWindow() verwenden.");
}

SString SResources::getFile(const SString& name) {
    if (!initialised_) showBeforeInit("getFile", name, "");
    const SString key = name.lowered();
    if (extracted_) {
        const SString& unpacked = fileMap_.get(key);
        if (!unpacked.isEmpty()) return unpacked;
    } else {
        for (const SString& dir : searchPaths_) {
            SString path = findFileNoCase(dir, name);
            if (path.isEmpty()) continue;
            // Remember what was used, so it can be bound into the archive later.
            if (key != "resource.ini" && key != "controlpos.ini" && resourceIni_ &&
                !resourceIni_->isReadOnly() && key.find('\r') < 0 && key.find('\n') < 0) {
                STime now = STime::now();
                resourceIni_->setValue("usedResources", key, now.formatDate() + " " + now.formatTime());
            }
            return path;
        }
    }
    SString path = findFileNoCase(SFileSystem::join(applicationDirectory_, "resources"), name);
    if (!path.isEmpty()) return path;
    if (isFile(name)) return name;
    return {};
}

SString SResources::getStyle(const SString& name) {
    if (!initialised_) showBeforeInit("getStyle", name, ",");
    return styleMap_.get(name);
}

SString SResources::substitute(const SString& value) const {
    const std::string& v = value.str();
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t open = v.find("{{", pos);
        std::size_t close = open == std::string::npos ? std::string::npos : v.find("}}", open + 2);
        if (close == std::string::npos) break;
        out.append(v, pos, open - pos);
        out += styleMap_.get(SString(v.substr(open + 2, close - open - 2))).str();
        pos = close + 2;
    }
    out.append(v, pos, std::string::npos);
    return SString(std::move(out));
}

void SResources::setStyles(const SString& section) {
    if (!controlPosIni_) return;
    SStringList keys, values;
    controlPosIni_->getSectionEntries(section, keys, values);
    for (int i = 0; i < keys.getSize(); ++i) styleMap_.set(keys.getAt(i), substitute(values.getAt(i)));
}

void SResources::loadStyles() {
    for (const NamedValue& c : defaultColours) styleMap_.set(c.key, c.value);
    setStyles("Standard-Styles");
    for (const NamedValue& s : defaultStyles) styleMap_.set(s.key, substitute(s.value));
    // Entries of the file override the defaults.
    setStyles("Control-Styles");
}

void SResources::loadLanguage(const SString& language) {
    SLanguage& table = globalLanguage();
    table.clear();
    language_ = language;
    table.setLanguage(language.str());

    SStringList dirs;
    // A shipped program's language files came out of its archive.
    if (extracted_ && !tempDirectory_.isEmpty()) dirs.add(tempDirectory_);
    dirs.add(applicationDirectory_);
    for (const SString& dir : searchPaths_) dirs.add(dir);
    dirs.add(SFileSystem::join(applicationDirectory_, developmentFolder));

    // Each file once, even when two directories name the same folder.
    SStringList files, seen;
    for (const SString& dir : dirs) {
        SFileFind find;
        for (bool more = find.findFirst(SFileSystem::join(dir, SString("*_") + language + ".lng")); more;
             more = find.findNext()) {
            if (find.isDirectory()) continue;
            SString full = SFileSystem::getFullPath(find.getPath());
            if (seen.find(full) >= 0) continue;
            seen.add(full);
            files.add(find.getPath());
        }
    }
    int loaded = 0;
    for (const SString& file : files) {
        SString error;
        SString text = SFile::readFile(file, &error);
        if (!error.isEmpty()) {
            globalDebug().print(SString("SResources::loadLanguage(..) ") + error);
            continue;
        }
        table.load(text.str());
        globalDebug().print(SString("SResources::loadLanguage(..) Datei: ") + file);
        ++loaded;
    }
    globalDebug().printf("SResources::loadLanguage(..) %d Sprachdateien geladen", loaded);
    std::string errors = table.getErrorText();
    if (!errors.empty())
        globalDebug().print(SString("SResources::loadLanguage(..) #### FEHLER #### ") + SString(errors));
}
