#pragma once
// Where the command finds the plug-in binary it drives.
#include <string>

namespace tolvar::cli {

// The plug-in the program was built with: its place relative to the program's
// own file (in the build tree, bin/tolvar and plugin/tolvar.so; on Windows
// bin\tolvar.exe and plugin\tolvar.dll). Empty when the program cannot tell
// where it is.
std::string DefaultPluginPath();

// `requested` (the --plugin option) when given, else DefaultPluginPath(), as an
// absolute path, so that the loader never searches the system's library folders
// for a bare name. Throws CliError when there is no such file.
std::string ResolvePluginPath(const std::string& requested);

}  // namespace tolvar::cli
