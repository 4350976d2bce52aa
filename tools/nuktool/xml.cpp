// nuktool xml: print the tag tree of an XML file (compressed ".cxf" files too).
#include <cstdio>
#include <string>

#include "Command.h"
#include "foundation/SFileSystem.h"
#include "foundation/SXmlFile.h"

namespace nuktool {
namespace {

const char* const usage =
    "  nuktool xml FILE                          print the tag tree of FILE (.xml text, else compressed):\n"
    "                                            one tag a line, indented by depth, with its attributes\n"
    "                                            name=\"value\" and its leaf text behind a colon";

// Quotes a value so that line breaks, tabs and quotes inside it stay visible on one line.
std::string quoted(const SString& text) {
    std::string out = "\"";
    for (char c : text.str()) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

void printTag(SXmlTag* tag, int depth) {
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += tag->getName().str();
    for (const auto& [name, value] : tag->getAttributes()) line += " " + name.str() + "=" + quoted(value);
    SString text = tag->getText();
    if (!text.isEmpty()) line += ": " + quoted(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    for (SXmlTag* child = tag->firstChild(); child->isValid(); child = child->next())
        printTag(child, depth + 1);
}

int run(const Args& args) {
    if (int refused = refuseOptions("xml", args)) return refused;
    if (args.size() != 1) return expectedArguments("xml", "FILE");
    const SString path(args[0]);
    if (SFileSystem::isDirectory(path)) return failure("cannot read '" + args[0] + "': it is a directory");
    SXmlFile xml;
    int result = xml.load(path);
    if (result == 0) return failure(xml.getError().str());
    if (!xml.getProlog().isEmpty()) std::printf("%s\n", xml.getProlog().c_str());
    printTag(xml.getRoot(), 0);
    if (result < 0) {
        std::fflush(stdout);
        return failure("xml: the end tag of the root element <" + xml.getRoot()->getName().str() +
                       "> is missing; the tree shows what was read");
    }
    return 0;
}

const Registration registration({"xml", usage, run});

}  // namespace
}  // namespace nuktool
