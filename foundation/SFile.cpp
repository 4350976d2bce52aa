#include "foundation/SFile.h"

#include <cerrno>

#include "foundation/SError.h"
#include "foundation/SFileSystem.h"

bool SFile::open(const SString& name, const char* mode, bool quiet) {
    close();
    error_.clear();
    const SString title = "Fehler SFile::open(..)";
    if (name.isEmpty()) {
        error_ = "Fehler beim \xF6" "ffnen der Datei, es wurde kein Dateiname \xFC" "bergeben.";
        if (!quiet) globalError().showMessage(error_, 0, title);
        return false;
    }
    name_ = SFileSystem::getFullPath(name);
    if (name_.isEmpty()) name_ = name;
    // Our descriptors are not inherited by child processes.
    std::string m = std::string(mode) + "e";
    file_ = std::fopen(name_.c_str(), m.c_str());
    if (!file_) {
        int err = errno;
        error_ = SString("Fehler beim \xF6" "ffnen der Datei '") + name + "'\r\n" + SError::systemErrorText(err);
        if (!quiet) globalError().showMessage(error_, 0, title);
        return false;
    }
    return true;
}

bool SFile::read(void* buffer, int64_t count) {
    if (!file_) {
        error_ = "Fehler beim lesen der Datei.\r\nDie Datei wurde noch nicht ge\xF6" "ffnet.";
        globalError().showMessage(error_, 0, "Fehler SFile::read(..)");
        return false;
    }
    if (count == -1) {
        // Everything from the read position to the end; the buffer must have room for it.
        int64_t here = getPosition();
        int64_t size = getSize();
        if (here < 0 || size < 0) return false;
        count = size > here ? size - here : 0;
    }
    if (count < 0) return false;
    lastWasRead_ = true;
    std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(count), file_);
    if (n != static_cast<std::size_t>(count)) {
        error_ = std::ferror(file_) ? SString("Fehler beim Lesen: ") + SError::systemErrorText(errno)
                                    : SString("Fehler beim Lesen: unerwartetes Dateiende");
        return false;
    }
    return true;
}

bool SFile::readToEnd(SString& out) {
    SMem mem;
    if (!readToEnd(mem)) return false;
    out = SString(reinterpret_cast<const char*>(mem.getData()), mem.getSize());
    return true;
}

bool SFile::readToEnd(SMem& out) {
    out.clear();
    if (!file_) return read(nullptr, 0);
    char buf[65536];
    lastWasRead_ = true;
    while (true) {
        std::size_t n = std::fread(buf, 1, sizeof buf, file_);
        out.append(buf, n);
        if (n < sizeof buf) break;
    }
    if (std::ferror(file_)) {
        error_ = SString("Fehler beim Lesen: ") + SError::systemErrorText(errno);
        return false;
    }
    return true;
}

bool SFile::write(const void* bytes, int64_t count) {
    if (!file_ || count < 0) {
        error_ = "Fehler beim Schreiben: Die Datei wurde noch nicht ge\xF6" "ffnet.";
        return false;
    }
    // C streams need a positioning call between reading and writing.
    if (lastWasRead_) fseeko(file_, 0, SEEK_CUR);
    lastWasRead_ = false;
    std::size_t n = std::fwrite(bytes, 1, static_cast<std::size_t>(count), file_);
    if (n != static_cast<std::size_t>(count) || std::fflush(file_) != 0) {
        error_ = SString("Fehler beim Schreiben: ") + SError::systemErrorText(errno);
        return false;
    }
    return true;
}

int64_t SFile::seek(int64_t position, Origin origin) {
    if (!file_ || fseeko(file_, static_cast<off_t>(position), origin) != 0) return -1;
    return getPosition();
}

int64_t SFile::getPosition() const { return file_ ? static_cast<int64_t>(ftello(file_)) : -1; }

int64_t SFile::getSize() {
    if (!file_) {
        globalError().showMessage("Fehler, SFile::getSize()\r\nDiese Funktion kann nur auf auf eine ge\xF6" "ffnete Datei angewendet werden.");
        return -1;
    }
    int64_t here = getPosition();
    fseeko(file_, 0, SEEK_END);
    int64_t size = getPosition();
    fseeko(file_, static_cast<off_t>(here), SEEK_SET);
    return size;
}

void SFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    lastWasRead_ = false;
}

SString SFile::readFile(const SString& name, SString* error) {
    SString out;
    SFile f;
    if (!f.open(name, "rb", error != nullptr) || !f.readToEnd(out)) {
        if (error) *error = f.getError();
        return {};
    }
    return out;
}

bool SFile::readFile(const SString& name, SMem& out, SString* error) {
    SFile f;
    out.clear();
    if (!f.open(name, "rb", error != nullptr) || !f.readToEnd(out)) {
        if (error) *error = f.getError();
        out.clear();
        return false;
    }
    return true;
}

bool SFile::writeFile(const SString& name, const SString& content, SString* error) {
    SFile f;
    if (!f.open(name, "w+b", error != nullptr) || !f.write(content)) {
        if (error) *error = f.getError();
        return false;
    }
    f.close();
    return true;
}
