#pragma once
// The paths the stand-in host is given are UTF-8, as a plug-in hands them to
// PCM_Source_CreateFromFile; on Windows they are opened by their wide names, so
// that a folder may have any name. A string that is not valid UTF-8 is taken in
// the system's code page, as a program that got its arguments in it passes them.
#include <filesystem>
#include <string>

namespace tolvar {

std::filesystem::path NativePath(const std::string& path);

}  // namespace tolvar
