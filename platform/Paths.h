// File-system locations and safe creation of temporary names.
#pragma once
#include <string>
#include <vector>

namespace platform {

// Path separator of this platform.
constexpr char pathSeparator = '/';

// The temporary directory ($TMPDIR or /tmp), with a trailing separator.
std::string tempDirectory();
// Creates a new empty file "<dir>/<prefix>XXXXXX" with a name no other process can take first
// (mkstemp). Returns its path, or empty with errorCode set.
std::string createTempFile(const std::string& dir, const std::string& prefix, int* errorCode = nullptr);
// Creates a directory only this user can enter; fails when the name exists already, so a
// name prepared by somebody else is never used. errorCode gets errno on failure.
bool createPrivateDirectory(const std::string& path, int* errorCode = nullptr);
// Per-user configuration folder of our programs ($XDG_CONFIG_HOME/nuk, default ~/.config/nuk).
std::string userConfigDirectory();
// Configuration folder for all users of this computer (first of $XDG_CONFIG_DIRS, default
// /etc/xdg, plus /nuk). Usually writable only by the administrator.
std::string computerConfigDirectory();
// The login name of the user the process runs as; empty when the system has none for it.
std::string userName();
// Current working directory, empty on failure.
std::string currentDirectory();
// Absolute form of a name, resolved against the current directory; "." and ".." segments are
// removed textually. Empty on failure.
std::string absolutePath(const std::string& name);
// Full path of the running executable.
std::string executablePath();
// The process's own command-line arguments, as the kernel holds them.
std::vector<std::string> commandLineArguments();
// Creates a directory and its missing parents with the given mode.
bool createDirectories(const std::string& path, unsigned mode = 0755);
// The user's documents folder: what `xdg-user-dir DOCUMENTS` names (unless that is the home
// folder, its answer when nothing is configured), else ~/Dokumente or ~/Documents when one
// exists, else the home folder. Without a trailing separator.
std::string documentsDirectory();

}  // namespace platform
