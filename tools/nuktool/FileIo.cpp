#include "FileIo.h"

#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"

namespace nuktool {

std::string oneLine(const SString& text) {
    std::string t = text.str();
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.replace(p, 2, ": ");
    while (!t.empty() && (t.back() == ' ' || t.back() == ':')) t.pop_back();
    return t;
}

bool checkInputFile(const std::string& path, std::string& error) {
    if (!SFileSystem::exists(SString(path))) {
        error = "cannot open '" + path + "': no such file";
        return false;
    }
    if (SFileSystem::isDirectory(SString(path))) {
        error = "cannot open '" + path + "': it is a directory";
        return false;
    }
    return true;
}

bool readInput(const std::string& path, SMem& bytes, std::string& error) {
    if (!checkInputFile(path, error)) return false;
    SString readError;
    if (!SFile::readFile(SString(path), bytes, &readError)) {
        error = oneLine(readError);
        return false;
    }
    return true;
}

bool writeOutput(const std::string& path, const SMem& bytes, std::string& error) {
    if (SFileSystem::isDirectory(SString(path))) {
        error = "cannot write '" + path + "': it is a directory";
        return false;
    }
    SFile file;
    if (!file.open(SString(path), "wb", true) ||
        !file.write(bytes.getData(), static_cast<int64_t>(bytes.getSize()))) {
        error = oneLine(file.getError());
        if (error.empty()) error = "cannot write '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace nuktool
