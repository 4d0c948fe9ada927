#pragma once
// Windows only: the plug-in keeps its paths in UTF-8 and opens files by their
// wide names, so that a folder may have any name whatever the system's code
// page.
#include <memory>

namespace tolvar {

// The wide form of a UTF-8 path, ready for CreateFileW: a path of MAX_PATH
// characters or more on a drive ("C:\...") or a share ("\\server\...") is
// given the extended prefix ("\\?\", "\\?\UNC\"), with backslashes only, so
// that its length does not matter. Null for a null path, bytes that are not
// UTF-8, or when memory runs out.
std::unique_ptr<wchar_t[]> WidePathForOpening(const char* utf8);

}  // namespace tolvar
