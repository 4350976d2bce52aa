#include "foundation/SFileSystem.h"

#include "foundation/SError.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "platform/Shell.h"


bool SFileSystem::exists(const SString& path) { return !path.isEmpty() && platform::pathExists(path.str()); }

bool SFileSystem::isDirectory(const SString& path) { return platform::isDirectory(path.str()); }

bool SFileSystem::createDirectory(const SString& path, bool quiet) {
    int err = 0;
    if (platform::makeDirectory(path.str(), &err)) return true;
    if (!quiet) globalError().showMessage(SString("Fehler beim Anlegen des Verzeichnisses:\r\n") + path, err, "Fehler");
    return false;
}

bool SFileSystem::removeDirectory(const SString& path, bool quiet) {
    int err = 0;
    if (platform::removeDirectory(path.str(), &err)) return true;
    if (!quiet) globalError().showMessage(SString("Fehler beim L\xF6schen des Verzeichnisses:\r\n") + path, err);
    return false;
}

bool SFileSystem::copy(const SString& from, const SString& to, bool failIfExists, bool quiet) {
    int err = 0;
    if (platform::copyFile(from.str(), to.str(), failIfExists, &err)) return true;
    if (!quiet)
        globalError().showMessage(SString("Fehler beim Kopieren der Datei:\r\n") + from + "\r\nnach\r\n" + to, err);
    return false;
}

bool SFileSystem::deleteFile(const SString& path, bool quiet) {
    int err = 0;
    if (platform::removeFile(path.str(), &err)) return true;
    if (!quiet) globalError().showMessage(SString("Fehler beim L\xF6schen der Datei:\r\n") + path, err);
    return false;
}

SString SFileSystem::getFileVersion(const SString&) { return {}; }

bool SFileSystem::run(const SString& file, const SString& parameters, const SString& workingDir, int) {
    int rc = platform::shell().open(file.str(), parameters.str(), workingDir.str());
    if (rc == 0) return true;
    globalError().showMessage(SString("Fehler bei SFileSystem:run(..)\r\n") + SError::systemErrorText(rc));
    return false;
}

SString SFileSystem::getTempPath() { return SString(platform::tempDirectory()); }

SString SFileSystem::getTempFileName(const SString& dir, const SString& prefix) {
    return SString(platform::createTempFile(dir.str(), prefix.str()));
}

SString SFileSystem::getFullPath(const SString& name) { return SString(platform::absolutePath(name.str())); }

void SFileSystem::splitPath(const SString& path, SString* drive, SString* dir, SString* name, SString* ext) {
    const std::string& p = path.str();
    std::size_t slash = p.find_last_of('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = p.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart || dot == nameStart) dot = p.size();
    if (drive) drive->clear();
    if (dir) *dir = SString(p.substr(0, nameStart));
    if (name) *name = SString(p.substr(nameStart, dot - nameStart));
    if (ext) *ext = SString(p.substr(dot));
}

SString SFileSystem::join(const SString& dir, const SString& name) {
    if (dir.isEmpty()) return name;
    if (dir.str().back() == platform::pathSeparator) return dir + name;
    return dir + platform::pathSeparator + name;
}
